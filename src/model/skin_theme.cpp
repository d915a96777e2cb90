#include "model/skin_theme.h"

#include "engines/skin/skin_engine.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

#include <algorithm>

namespace rm {

QString ButtonPictureFileName(const QString& imageName, int state)
{
    switch (state) {
    case PictureNormal:
        return imageName + QStringLiteral(".bmp");
    case PictureHover:
        return imageName + QStringLiteral("-move.bmp");
    case PicturePressed:
        return imageName + QStringLiteral("-down.bmp");
    case PictureDisabled:
        return imageName + QStringLiteral("-dis.bmp");
    default:
        return {};
    }
}

QString PictureForPixelRatio(const QString& path, double ratio)
{
    if (ratio <= 1.0)
        return path;
    const int slash = std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    const int dot = path.lastIndexOf(QLatin1Char('.'));
    const QString base = dot > slash ? path.left(dot) : path;
    const QString companion = base + QStringLiteral("@2x.png");
    return QFileInfo(companion).isFile() ? companion : path;
}

SkinTheme& SkinTheme::Current()
{
    static SkinTheme theme;
    return theme;
}

QString SkinTheme::NormaliseImageFolder(const std::string& reported)
{
    QString folder = QString::fromUtf8(reported.c_str()).trimmed();
    if (!folder.endsWith(QLatin1Char('/')) && !folder.endsWith(QLatin1Char('\\')))
        folder += QLatin1Char('/');
    return folder;
}

bool SkinTheme::Load(const QString& themeFile)
{
    const QByteArray path = QFile::encodeName(themeFile);
    if (skin::LoadTheme(path.constData()) == 0)
        return false;
    m_themeFile = themeFile;
    RefreshImageFolder();
    return true;
}

void SkinTheme::RefreshImageFolder()
{
    std::string folder;
    skin::GetImageFolder(&folder);
    m_imageFolder = NormaliseImageFolder(folder);
}

SkinSection SkinTheme::Section(const QString& name) const
{
    return skin::GetSection(name.toUtf8().constData());
}

SkinElementValues SkinTheme::Element(SkinSection section, const QString& name) const
{
    SkinElementValues v;
    const skin::SkinElement* e = skin::GetElement(section, name.toUtf8().constData());
    if (!e)
        return v;
    v.found = true;
    v.visible = e->visible != 0;
    v.x = e->x;
    v.y = e->y;
    v.width = e->width;
    v.height = e->height;
    v.imageName = QString::fromUtf8(e->imageName ? e->imageName : "");
    return v;
}

QString SkinTheme::PicturePath(const QString& pictureFolder, const QString& imageName, int state) const
{
    return m_imageFolder + pictureFolder + ButtonPictureFileName(imageName, state);
}

SkinThemeList SkinTheme::BuildThemeList(const QString& programFolder)
{
    SkinThemeList list;
    QString folder = programFolder;
    if (!folder.endsWith(QLatin1Char('/')) && !folder.endsWith(QLatin1Char('\\')))
        folder += QLatin1Char('/');
    folder += QStringLiteral("Images/");

    // Sorted by name so that the numbering is the same on every start.
    const QFileInfoList files = QDir(folder).entryInfoList({QStringLiteral("*.xml")}, QDir::Files,
                                                           QDir::Name);
    int32_t next = 0;
    for (const QFileInfo& fi : files) {
        const QString path = fi.absoluteFilePath();
        if (path.size() <= 2)
            continue;
        if (skin::LoadTheme(QFile::encodeName(path).constData()) == 0)
            continue; // not a theme: nothing to offer
        const skin::SkinInfo* info = skin::GetThemeInfo();
        if (!info)
            continue;
        list.insert(next++, SkinThemeInfo{QString::fromUtf8(info->name), QString::fromUtf8(info->themeFile)});
    }
    if (!m_themeFile.isEmpty())
        skin::LoadTheme(QFile::encodeName(m_themeFile).constData());
    return list;
}

} // namespace rm
