// Theme state: picture naming and paths, the theme list, and the generated themes of the program
// folder (every section and element the windows read, every picture file they name).
#include "model/skin_theme.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

void writeFile(const QString& path, const QByteArray& text)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
}

TEST(SkinPictureNames, FourStatesAndNothingElse)
{
    const struct {
        int state;
        const char* file;
    } cases[] = {
        {rm::PictureNormal, "addFile.bmp"}, {rm::PictureHover, "addFile-move.bmp"},
        {rm::PicturePressed, "addFile-down.bmp"}, {rm::PictureDisabled, "addFile-dis.bmp"},
        {4, ""}, {-1, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(rm::ButtonPictureFileName("addFile", c.state), c.file) << c.state;
}

TEST(SkinPictureNames, ReportedFolderIsTrimmedAndGetsItsSeparator)
{
    EXPECT_EQ(rm::SkinTheme::NormaliseImageFolder("C:\\T\\skin "), "C:\\T\\skin/");
    EXPECT_EQ(rm::SkinTheme::NormaliseImageFolder("  /t/skin/ "), "/t/skin/");
    EXPECT_EQ(rm::SkinTheme::NormaliseImageFolder("C:\\T\\skin\\"), "C:\\T\\skin\\");
}

TEST(SkinPictureNames, HighDensityCompanionIsChosenAboveOneWhenItExists)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath("skin.v2/main/");
    writeFile(folder + "addFile.bmp", "1x");
    writeFile(folder + "addFile@2x.png", "2x");
    writeFile(folder + "clip.bmp", "1x only");
    writeFile(folder + "Barpic@2x.png", "2x only");
    const struct {
        const char* picture;
        double ratio;
        const char* chosen;
    } cases[] = {
        {"addFile.bmp", 1.0, "addFile.bmp"},      {"addFile.bmp", 0.5, "addFile.bmp"},
        {"addFile.bmp", 1.25, "addFile@2x.png"},  {"addFile.bmp", 1.5, "addFile@2x.png"},
        {"addFile.bmp", 2.0, "addFile@2x.png"},   {"addFile.bmp", 3.0, "addFile@2x.png"},
        {"clip.bmp", 2.0, "clip.bmp"},            {"Barpic.bmp", 2.0, "Barpic@2x.png"},
        {"missing.bmp", 2.0, "missing.bmp"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(rm::PictureForPixelRatio(folder + c.picture, c.ratio), folder + c.chosen)
            << c.picture << " at " << c.ratio;
    // The dot in the folder's name is not the picture's extension.
    writeFile(dir.filePath("skin.v2/noext@2x.png"), "2x");
    EXPECT_EQ(rm::PictureForPixelRatio(dir.filePath("skin.v2/noext"), 2.0), dir.filePath("skin.v2/noext@2x.png"));
}

TEST(SkinThemeState, HoverPictureOfAddFileFollowsTheReportedFolder)
{
    QTemporaryDir dir;
    // The theme names its picture folder with a trailing blank.
    const QString theme = dir.filePath("t.xml");
    writeFile(theme, "<skin name='T' images='skin '><section name='main'>"
                     "<element name='addFile' x='1' y='2' width='3' height='4'/></section></skin>");
    rm::SkinTheme state;
    ASSERT_TRUE(state.Load(theme));
    EXPECT_EQ(state.ImageFolder(), dir.path() + "/skin/");
    const rm::SkinElementValues e = state.Element(state.Section("main"), "addFile");
    ASSERT_TRUE(e.found);
    EXPECT_EQ(state.PicturePath("main/", e.imageName, rm::PictureHover), dir.path() + "/skin/main/addFile-move.bmp");
    // A refused file leaves the state alone.
    EXPECT_FALSE(state.Load(dir.filePath("missing.xml")));
    EXPECT_EQ(state.ThemeFile(), theme);
}

TEST(SkinThemeState, ThreeThemesAreNumberedAndTheCurrentOneStays)
{
    QTemporaryDir dir;
    const QString program = dir.path() + "/";
    for (const char* n : {"a", "b", "c"})
        writeFile(program + "Images/" + n + ".xml",
                  QByteArray("<skin name='Theme ") + n + "' images='" + n + "'><section name='main'/></skin>");
    writeFile(program + "Images/readme.txt", "not a theme");
    QDir().mkpath(program + "Images/folder.xml"); // directories are skipped

    rm::SkinTheme state;
    ASSERT_TRUE(state.Load(program + "Images/b.xml"));
    const rm::SkinThemeList list = state.BuildThemeList(program);
    ASSERT_EQ(list.size(), 3);
    EXPECT_EQ(list.keys(), (QList<int32_t>{0, 1, 2}));
    EXPECT_EQ(list[0].name, "Theme a");
    EXPECT_EQ(list[1].themeFile, program + "Images/b.xml");
    EXPECT_EQ(list[2].name, "Theme c");
    // The theme in use is current again in the reader.
    state.RefreshImageFolder();
    EXPECT_EQ(state.ImageFolder(), program + "Images/b/");
}

// The sections, window elements, backgrounds and picture-carrying elements the windows read.
struct SectionSpec {
    const char* name;
    const char* folder;
    const char* windowElement;
    QStringList backgrounds;
    QStringList buttons;    // four state pictures each
    QStringList sliders;    // normal picture (slider knob)
    QStringList layoutOnly; // must exist as elements
};

const std::vector<SectionSpec>& windowSections()
{
    static const std::vector<SectionSpec> specs = {
        {"main", "main/", "mainFormCreate", {"Background"},
         {"addFile", "customize", "option", "edit", "clip", "merge", "slide", "btnPlay", "btnPause", "btnStop",
          "btnPhoto", "btnOpen", "btnConvert", "Open_img", "btnOpenpath", "btnMenu", "addDVD", "addDVDList", "close",
          "btnMini", "btnHelp"},
         {"MainTrackBar"},
         {"MainPlayPanel", "labOutput", "OutputPath"}},
        {"edit", "edit/", "editFormCreate", {"Background"},
         {"tabCrop", "tabEffect", "btnPlay", "btnPause", "btnStop", "btnReplay", "btnLevel", "btnVertical",
          "btnCropReset", "btnOK", "btnCancel", "close"},
         {"TotalTrackBar", "AdjustVolume"},
         {"tabCropPanel", "tabEffectPanel", "EditPlayPanel"}},
        {"clip", "clip/", "clipFormCreate", {"clipBackground"},
         {"start_trimtime_ok", "end_trimtime_ok", "btnPlay", "btnPause", "btnPlayTrim", "btnStop", "btnTrimStart",
          "btnTrimEnd", "btnAdd", "btnDelete", "btnOK", "btnCancel", "close"},
         {"TotalTrackBar", "StartTrackBar", "EndTrackBar"},
         {"start", "StartTime", "end", "EndTime", "trimLine", "ClipPlayPanel", "ClipNodeTree"}},
        {"customize", "customize/", "cusFormCreate", {"customize_BG1", "customize_BG2", "customize_BG3"},
         {"btnBack", "btnNext", "btnOK", "close", "btnPlayer", "btnEffect", "btnLoad", "btnDecorate", "btnDecorate2",
          "btnHead", "btnTail", "btnOption"},
         {},
         {"custom_default", "cus_flv", "cus_swf", "swfType_1", "swfType_2", "cus_html", "cus_thumb", "tabPlayerPanel",
          "tabEffectPanel", "tabLoadPanel", "tabDecoratePanel", "tabHeadPanel", "tabTailPanel", "tabOptionPanel",
          "webPanel", "background", "cmbBackground", "addCredits", "text", "textValue", "img", "imgValue", "url",
          "urlValue"}},
        {"convert", "convert/", "convertFormCreate", {"convert_BG"}, {"btnCancel", "close", "btnMini"}, {},
         {"ConvertPlayPanel"}},
        {"properties", "pro/", "proFormCreate", {"proPanel"}, {"btnOK", "btnClose"}, {}, {}},
        {"about", "about/", "aboutFormCreate", {"aboutPanel"}, {"btnOK"}, {}, {}},
        {"option", "option/", "optionFormCreate", {"optionPanel"},
         {"btnGeneral", "btnFormat", "btnSnappath", "btnOpen", "btnOK", "btnCancel", "btnClose"}, {},
         {"tabGeneral", "tabFormat"}},
        {"dvdloader", "dvd/", "dvdLoadFormCreate", {"dvdLoadPanel"},
         {"btnOK", "btnCancel", "btnPlay", "btnPause", "btnStop", "btnPre", "btnNext", "close"}, {"DVDTrackBar"},
         {"DVDPlayPanel"}},
    };
    return specs;
}

TEST(GeneratedThemes, EveryWindowFindsItsElementsAndEveryPictureExists)
{
    const QString images = QStringLiteral(RM_APP_DIR "/Images/");
    const QStringList themes = QDir(images).entryList({"*.xml"}, QDir::Files, QDir::Name);
    ASSERT_TRUE(themes.contains("DefaultImage.xml"));
    ASSERT_GE(themes.size(), 2) << "a second theme proves switching";
    for (const QString& file : themes) {
        SCOPED_TRACE(file.toStdString());
        rm::SkinTheme state;
        ASSERT_TRUE(state.Load(images + file));
        for (const SectionSpec& spec : windowSections()) {
            SCOPED_TRACE(spec.name);
            const rm::SkinSection section = state.Section(spec.name);
            ASSERT_NE(section, 0);
            const rm::SkinElementValues win = state.Element(section, spec.windowElement);
            ASSERT_TRUE(win.found);
            EXPECT_GT(win.width, 100);
            EXPECT_GT(win.height, 100);
            auto picture = [&](const QString& element, int st) {
                const rm::SkinElementValues e = state.Element(section, element);
                EXPECT_TRUE(e.found) << element.toStdString();
                const QString path = state.PicturePath(spec.folder, e.imageName, st);
                EXPECT_TRUE(QFileInfo(path).isFile()) << path.toStdString();
            };
            for (const QString& bg : spec.backgrounds)
                picture(bg, rm::PictureNormal);
            for (const QString& b : spec.buttons)
                for (int st = rm::PictureNormal; st <= rm::PictureDisabled; ++st)
                    picture(b, st);
            for (const QString& s : spec.sliders)
                picture(s, rm::PictureNormal);
            for (const QString& e : spec.layoutOnly)
                EXPECT_TRUE(state.Element(section, e).found) << e.toStdString();
        }
        // Pictures read by fixed name.
        EXPECT_TRUE(QFileInfo(state.ImageFolder() + "clip/Barpic.bmp").isFile());
        for (const char* s : {"TotalTrackBar", "AdjustVolume"})
            EXPECT_TRUE(QFileInfo(state.ImageFolder() + "Edit/" + s + ".bmp").isFile()) << s;
    }
    for (const char* f : {"Default.bmp", "bj.bmp", "Editbj.bmp"})
        EXPECT_TRUE(QFileInfo(QStringLiteral(RM_APP_DIR "/") + f).isFile()) << f;
}

} // namespace
