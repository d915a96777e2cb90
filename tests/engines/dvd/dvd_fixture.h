#pragma once
// A small DVD-Video folder made at test time: two MPEG-2 program streams (720x480, 29.97 fps,
// MPEG audio at 48 kHz) authored with dvdauthor into one title set with two titles: title 1
// (3 s) with chapters at 0 and 1.5 s, title 2 (2 s) with one chapter.

#include "support/media_fixture.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace rmtest {

inline bool HaveDvdAuthor() { return std::system("command -v dvdauthor >/dev/null 2>&1") == 0; }

// Returns the folder holding VIDEO_TS ("" on failure, with *error set).
inline std::string AuthoredDvd(std::string* error)
{
    namespace fs = std::filesystem;
    const fs::path root = fs::path(FixtureDir()) / "dvd_disc";
    if (fs::exists(root / "VIDEO_TS" / "VIDEO_TS.IFO"))
        return root.string();
    FixtureSpec spec;
    spec.container = "dvd";
    spec.videoCodec = "mpeg2video";
    spec.width = 720;
    spec.height = 480;
    spec.fpsNum = 30000;
    spec.fpsDen = 1001;
    spec.gop = 15;
    spec.bFrames = 2;
    spec.videoBitrate = 1500000;
    spec.audioCodec = "mp2";
    spec.sampleRate = 48000;
    spec.seconds = 3.0;
    const std::string a = Fixture("dvd_title1.mpg", spec);
    spec.seconds = 2.0;
    spec.audioHz = 880;
    spec.videoSource = "testsrc=s={w}x{h}:r={r}:d={d}";
    const std::string b = Fixture("dvd_title2.mpg", spec);
    if (a.empty() || b.empty()) {
        *error = "fixture streams could not be made";
        return {};
    }
    const fs::path xml = fs::path(FixtureDir()) / "dvd_disc.xml";
    {
        std::ofstream x(xml);
        x << "<dvdauthor dest=\"" << root.string() << "\">\n<vmgm/>\n<titleset><titles>"
          << "<video format=\"ntsc\"/><audio format=\"mp2\" lang=\"en\"/>\n"
          << "<pgc><vob file=\"" << a << "\" chapters=\"0,1.5\"/></pgc>\n"
          << "<pgc><vob file=\"" << b << "\"/></pgc>\n"
          << "</titles></titleset>\n</dvdauthor>\n";
    }
    const std::string cmd = "VIDEO_FORMAT=NTSC dvdauthor -x '" + xml.string() + "' >'" +
                            (fs::path(FixtureDir()) / "dvdauthor.log").string() + "' 2>&1";
    if (std::system(cmd.c_str()) != 0 || !fs::exists(root / "VIDEO_TS" / "VIDEO_TS.IFO")) {
        *error = "dvdauthor failed, see " + (fs::path(FixtureDir()) / "dvdauthor.log").string();
        return {};
    }
    return root.string();
}

} // namespace rmtest
