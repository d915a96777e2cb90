#pragma once
// The current skin theme (one for the whole program) and the rules that turn theme elements into
// picture files. Wraps the theme reader (engines/skin) for the windows; Qt Core only.

#include <QMap>
#include <QString>
#include <cstdint>
#include <string>

namespace rm {

// Opaque handle of one window's section in a theme (see engines/skin/skin_engine.h).
using SkinSection = int32_t;

// The four pictures of an image button.
enum ButtonPictureState : int {
    PictureNormal = 0,   // base + ".bmp"
    PictureHover = 1,    // base + "-move.bmp"
    PicturePressed = 2,  // base + "-down.bmp"
    PictureDisabled = 3, // base + "-dis.bmp"
};

// The file name of one state's picture; any other state gives "".
QString ButtonPictureFileName(const QString& imageName, int state);

// The picture to load on a screen of this device pixel ratio. Above 1 (1.5x included) it is the
// picture's high-density companion, "<name>@2x.png" beside "<name>.bmp", when that file exists;
// otherwise, and at 1x, the picture itself.
QString PictureForPixelRatio(const QString& path, double ratio);

// What a window keeps of one element: the values, read at once.
struct SkinElementValues {
    bool found = false; // the theme has this element
    bool visible = true;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    QString imageName;
};

// One entry of the theme list offered by the options dialog.
struct SkinThemeInfo {
    QString name;
    QString themeFile;
};
using SkinThemeList = QMap<int32_t, SkinThemeInfo>;

class SkinTheme {
public:
    // The program's one theme state.
    static SkinTheme& Current();

    // Loads the theme file into the reader and takes its image folder (trimmed, separator
    // appended). Returns false when the reader refuses the file; the state then is unchanged.
    bool Load(const QString& themeFile);

    QString ThemeFile() const { return m_themeFile; }
    QString ImageFolder() const { return m_imageFolder; }

    // Asks the reader for the current image folder again (after another theme was loaded).
    void RefreshImageFolder();

    // The section of the theme current in the reader; 0 when missing.
    SkinSection Section(const QString& name) const;
    SkinElementValues Element(SkinSection section, const QString& name) const;

    // Image folder + window picture folder ("main/") + the state's file name.
    QString PicturePath(const QString& pictureFolder, const QString& imageName, int state) const;

    // Every "*.xml" theme in <programFolder>Images/, numbered 0, 1, 2 ... in enumeration order;
    // afterwards the current theme file is loaded again so it stays the one in use.
    SkinThemeList BuildThemeList(const QString& programFolder);

    // A reported folder without surrounding blanks and with a trailing separator.
    static QString NormaliseImageFolder(const std::string& reported);

private:
    QString m_themeFile;
    QString m_imageFolder;
};

} // namespace rm
