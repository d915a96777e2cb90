#pragma once
// The customisation wizard's test program folder: a folder of its own (the preview and the
// server read from it) with the built themes and templates, a copy of the emulator (the server
// serves only what really lies inside the folder), and three profiles: "low" 320x240, the
// start-up profile "normal" 400x300 and "high" 640x480.

#include "model/app_settings.h"
#include "model/profile_catalogue.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include <fstream>

namespace rmtest::wizard {

inline void WriteProfile(const QString& dir, const char* file, const char* name, const char* display, const char* size,
                         const char* rate)
{
    std::ofstream f((dir + "/" + file).toStdString());
    f << "<profiles><profile name=\"" << name << "\" display=\"" << display
      << "\" format=\"flv\" extension=\"flv\" argument=\"3\">\n"
      << "<param key=\"vcodec\" kind=\"text\"><value default=\"true\">flv1</value><value>h264</value></param>\n"
      << "<param key=\"b\" kind=\"integer\"><value>400</value><value default=\"true\">800</value><value>1200</value></param>\n"
      << "<param key=\"r\" kind=\"real\"><value>15</value><value default=\"true\">" << rate << "</value><value>30</value></param>\n"
      << "<param key=\"s\" kind=\"text\"><value default=\"true\">" << size << "</value></param>\n"
      << "<param key=\"acodec\" kind=\"text\"><value default=\"true\">mp3</value></param>\n"
      << "<param key=\"ab\" kind=\"integer\"><value default=\"true\">64</value><value>128</value></param>\n"
      << "<param key=\"ar\" kind=\"integer\"><value>22050</value><value default=\"true\">44100</value></param>\n"
      << "<param key=\"ac\" kind=\"integer\"><value>1</value><value default=\"true\">2</value></param>\n"
      << "</profile></profiles>\n";
}

// Builds <dir>/program/, makes it the program folder and reads its profiles; returns the folder
// with a trailing "/", or an empty string when the profiles could not be read.
inline QString MakeProgramFolder(const QString& dir)
{
    const QString program = dir + "/program/";
    QDir().mkpath(program + "profile");
    QFile::link(QStringLiteral(RM_APP_DIR "/Images"), program + "Images");
    QFile::link(QStringLiteral(RM_APP_DIR "/templates"), program + "templates");
    QDir().mkpath(program + "ruffle");
    for (const QFileInfo& f : QDir(QStringLiteral(RM_APP_DIR "/ruffle")).entryInfoList(QDir::Files))
        QFile::copy(f.filePath(), program + "ruffle/" + f.fileName());
    WriteProfile(program + "profile", "a.xml", "low", "Low", "320x240", "25");
    WriteProfile(program + "profile", "b.xml", "normal", rm::kStartupProfileDisplay, "400x300", "25");
    WriteProfile(program + "profile", "c.xml", "high", "High", "640x480", "29.97");
    rm::SetProgramFolder(program);
    if (rm::ReadProfileCatalogueFrom((program + "profile").toStdString()) != 3)
        return {};
    return program;
}

} // namespace rmtest::wizard
