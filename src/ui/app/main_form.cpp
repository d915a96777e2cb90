#include "ui/app/main_form.h"

#include "engines/playback/playback_engine.h"
#include "engines/player_maker/player_maker.h"
#include "model/app_settings.h"
#include "model/custom_settings.h"
#include "model/registry_key.h"
#include "ui/app/app_windows.h"
#include "ui/app/player_form.h"
#include "ui/app/task_list_view.h"
#include "ui/dialogs/about_form.h"
#include "ui/dialogs/option_form.h"
#include "ui/toolkit/app_style.h"
#include "ui/toolkit/image_button.h"
#include "ui/toolkit/key_filter.h"
#include "ui/toolkit/skin_ops.h"
#include "ui/toolkit/skin_panel.h"
#include "ui/toolkit/skin_track_bar.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QScreen>
#include <QVBoxLayout>

namespace rm::ui {

const char* const kHelpPage = "https://www.orvane.example/reelmaker/howto.html";
const char* const kSupportPage = "https://www.orvane.example/support/";
const char* const kHomePage = "https://www.orvane.example/";

TfrmMain::TfrmMain(QWidget* parent) : SkinnedForm(QStringLiteral("main"), QStringLiteral("main/"),
                                                  QStringLiteral("mainFormCreate"), parent)
{
    setObjectName(QStringLiteral("frmMain"));
    // The window system and tests find the window by this title.
    setWindowTitle(QStringLiteral("Orvane Reelmaker"));

    // 1. Texts and counters cleared, playback flags off (the members start that way).
    MainPanel = AddBackground(QStringLiteral("Background"));
    MainPanel->setObjectName(QStringLiteral("MainPanel"));
    connect(MainPanel, &SkinPanel::mouseDown, this, [this] { MainPanelMouseDown(); });
    mainLabel = AddTitleLabel(QStringLiteral("mainLabel"), QString());

    auto button = [this](ImageButton*& b, const char* name) {
        b = new ImageButton(this, QString::fromLatin1(name));
        AddButton(b, QString::fromLatin1(name));
    };
    NodeTree = new QWidget(this);
    NodeTree->setObjectName(QStringLiteral("NodeTree"));
    auto* treeLayout = new QVBoxLayout(NodeTree);
    treeLayout->setContentsMargins(0, 0, 0, 0);
    MainPlayPanel = new QWidget(this);
    MainPlayPanel->setObjectName(QStringLiteral("MainPlayPanel"));
    MainPlayPanel->setAutoFillBackground(true);
    QPalette pal = MainPlayPanel->palette();
    pal.setColor(QPalette::Window, Qt::black);
    MainPlayPanel->setPalette(pal);
    MainTrackBar = new SkinTrackBar(this, QStringLiteral("MainTrackBar"));
    MainTrackBar->setMinimum(0);
    MainTrackBar->setPageStep(2);
    MainTrackBar->setSingleStep(1);
    labOutput = new QLabel(QStringLiteral("Destination :"), this);
    labOutput->setObjectName(QStringLiteral("labOutput"));
    {
        QFont f = labOutput->font();
        f.setBold(true);
        labOutput->setFont(f);
    }
    OutputPath = new QLineEdit(this);
    OutputPath->setObjectName(QStringLiteral("OutputPath"));
    OutputPath->setReadOnly(true);

    // Layout order of the "main" section's elements.
    button(addFile, "addFile");
    button(customize, "customize");
    button(option, "option");
    button(edit, "edit");
    button(clip, "clip");
    button(merge, "merge");
    button(slide, "slide");
    AddControl(MainPlayPanel, QStringLiteral("MainPlayPanel"));
    button(btnPlay, "btnPlay");
    button(btnStop, "btnStop");
    button(btnPhoto, "btnPhoto");
    button(btnOpen, "btnOpen");
    button(btnConvert, "btnConvert");
    AddControl(labOutput, QStringLiteral("labOutput"));
    AddControl(OutputPath, QStringLiteral("OutputPath"));
    button(Open_img, "Open_img");
    button(btnOpenpath, "btnOpenpath");
    button(btnMenu, "btnMenu");
    button(addDVD, "addDVD");
    button(addDVDList, "addDVDList");
    button(close, "close");
    button(btnMini, "btnMini");
    button(btnHelp, "btnHelp");
    // Not in the classic element list; themes may still place them to fit their proportions.
    AddPlacedControl(NodeTree, QStringLiteral("NodeTree"));
    AddPlacedControl(MainTrackBar, QStringLiteral("MainTrackBar"));
    AddSizeElement(QStringLiteral("MainPlayPanel"), &m_previewSize);

    close->setToolTip(QStringLiteral("Close"));
    btnMini->setToolTip(QStringLiteral("Minimize"));
    btnMenu->setToolTip(QStringLiteral("Menu"));

    Edit_Menu = new QMenu(this);
    Edit_Menu->setObjectName(QStringLiteral("Edit_Menu"));
    Downlist_menu = new QMenu(this);
    Downlist_menu->setObjectName(QStringLiteral("Downlist_menu"));
    buildHelpMenu();
    BuildTaskList();
    BuildListActions();
    BuildPreview();

    connect(close, &QAbstractButton::clicked, this, &TfrmMain::closeClick);
    connect(btnMini, &QAbstractButton::clicked, this, &TfrmMain::btnMiniClick);
    connect(btnMenu, &QAbstractButton::clicked, this, &TfrmMain::btnMenuClick);
    connect(btnHelp, &QAbstractButton::clicked, this, &TfrmMain::HelpClick);
    connect(option, &QAbstractButton::clicked, this, &TfrmMain::optionClick);

    // 2. Application settings; the output folder is shown as the destination.
    AppSettings& settings = TheAppSettings();
    settings = LoadAppSettings(ProgramFolder());
    OutputPath->setText(settings.outputFolder);
    // 3. The task list appears with its first task.
    NodeTree->hide();
    // 4. The theme, its "main" section and image folder.
    m_themeFile = settings.themeFile;
    // Without a readable theme no window can be drawn: start-up ends with the file error, which
    // names the setting that chose the theme.
    if (!SkinTheme::Current().Load(m_themeFile))
        throw ThemeRefusedError(m_themeFile, RegistryKey::StoreFile());
    TakeSection();
    // 5. Layout, keeping the window and preview sizes; 6. pictures.
    LayoutPass();
    PicturePass();
    TakeThemeAccent();
    // 7. The player maker reads its templates beside the executable.
    HandOverProgramFolder();
    // 8. Installed fonts.
    BuildFontList();
    // 9. Nothing selected yet.
    SetTaskButtonsForEmptySelection();
    // 10. The preview volume to restore on close.
    m_savedVolume = ReadPreviewVolume();

    FormCreate();

    m_keyFilter = new FileNameKeyFilter(this, this);
    qApp->installEventFilter(m_keyFilter);
    BuildDesktopParts();
}

TfrmMain::~TfrmMain()
{
    // No status report may reach a window that is going away.
    rm::playback::setPlayerHandle(nullptr);
    rm::playback::stopPlay(1);
    if (qApp && m_keyFilter)
        qApp->removeEventFilter(m_keyFilter);
}

void TfrmMain::buildHelpMenu()
{
    Help_Menu = new QMenu(this);
    Help_Menu->setObjectName(QStringLiteral("Help_Menu"));
    Help_Menu->addAction(QStringLiteral("Help"), this, &TfrmMain::HelpClick);
    Help_Menu->addAction(QStringLiteral("Support"), this, &TfrmMain::SupportClick);
    Help_Menu->addSeparator();
    Help_Menu->addAction(QStringLiteral("Homepage"), this, &TfrmMain::HomepageClick);
    Help_Menu->addAction(QStringLiteral("Update Product"), this, &TfrmMain::updateClick);
    Help_Menu->addAction(QStringLiteral("About"), this, &TfrmMain::AboutClick);
}

void TfrmMain::HandOverProgramFolder()
{
    player_maker::setFilePrefixPath(QFile::encodeName(ProgramFolder()).constData());
}

void TfrmMain::BuildFontList() { (void)FontList(); }

void TfrmMain::SetTaskButtonsForEmptySelection()
{
    for (ImageButton* b : {edit, clip, merge, slide, customize, btnConvert, btnPlay, btnStop, btnPhoto})
        SetButtonEnabled(b, false);
}

void TfrmMain::SetKeyPreview(bool on) { m_keyFilter->SetActive(on); }
bool TfrmMain::KeyPreview() const { return m_keyFilter->IsActive(); }

void TfrmMain::TakeThemeAccent()
{
    // The theme's colour, as its primary button is drawn: progress bars and row marks follow it.
    try {
        const SkinElementValues e = Element(QStringLiteral("btnConvert"));
        const QString image = e.found && !e.imageName.isEmpty() ? e.imageName : QStringLiteral("btnConvert");
        ApplyThemeAccent(*qApp, AccentOfPicture(LoadSkinPicture(PicturePath(image, PictureNormal)).toImage()));
    } catch (const SkinPictureError&) {
        // a theme without that picture keeps the accent it had
    }
    if (TaskView)
        TaskView->viewport()->update();
}

void TfrmMain::ReskinMain()
{
    // The layout pass shows every control its element shows; the preview panel is shown only
    // while something is previewed, so it keeps the state it had.
    const bool previewShown = !MainPlayPanel->isHidden();
    TakeSection();
    LayoutPass();
    ApplyWindowSize();
    MainPlayPanel->setVisible(previewShown && Element(QStringLiteral("MainPlayPanel")).visible);
    // The host follows the panel's new size (placing it again would hide it).
    if (Playerfrm && Playerfrm->parentWidget() == MainPlayPanel)
        Playerfrm->setGeometry(MainPlayPanel->rect());
    LoadSliderPicture(MainTrackBar, QStringLiteral("MainTrackBar"));
    MainTrackBar->setFocus();
    PicturePass();
    TakeThemeAccent();
    // A playing preview keeps its pause look.
    btnPlayMouseUp();
    emit skinApplied();
}

void TfrmMain::showEvent(QShowEvent* e)
{
    SkinnedForm::showEvent(e);
    if (!m_shown) {
        m_shown = true;
        FormShow();
    }
}

void TfrmMain::FormShow()
{
    // The window opens where the last session left it, or centred on its screen.
    if (!RestoreWindowPlace())
        if (const QScreen* s = screen())
            move(s->availableGeometry().center() - rect().center());
    // 1. - 3. Profiles, template galleries, preview (their modules).
    LoadProfileCatalogue();
    FillTemplateGalleries();
    SetupMainPreview();
    MainPlayPanel->hide();
    // 4. Theme list for the options dialog; the current theme stays loaded.
    frmOption->ThemeList = SkinTheme::Current().BuildThemeList(ProgramFolder());
    // 5. The options dialog starts from the current theme and snapshot folder.
    frmOption->SavedThemePath = m_themeFile;
    frmOption->CurrentThemePath = m_themeFile;
    frmOption->SnapshotFolder = TheAppSettings().snapshotFolder;
    // 6. Slider picture of the track bar.
    LoadSliderPicture(MainTrackBar, QStringLiteral("MainTrackBar"));
    // 7. Auto-update.
    if (TheAppSettings().autoUpdate != 0) {
        frmOption->isAutoUpdate->setChecked(true);
        RunUpdater();
    } else {
        frmOption->isAutoUpdate->setChecked(false);
    }
    // 8. The context menu never offers these two entries.
    for (QAction* a : Edit_Menu->actions()) {
        const QString t = a->text();
        if (t == QLatin1String("Audio Track") || t == QLatin1String("Subtitle")) {
            Edit_Menu->removeAction(a);
            a->deleteLater();
        }
    }
    // 9.
    mainLabel->setText(QStringLiteral("Orvane Reelmaker"));
}

void TfrmMain::MainPanelMouseDown()
{
    // The panel itself starts the move (SkinPanel / DragWindow); nothing else happens here.
}

void TfrmMain::closeClick()
{
    WritePreviewVolume(m_savedVolume);
    QDialog::close();
}

void TfrmMain::closeEvent(QCloseEvent* e)
{
    SaveWindowPlace();
    StopKeepingTaskList();
    e->accept();
    QDialog::closeEvent(e);
    // Closing the main window ends the program, hidden dialogs or not.
    QApplication::quit();
}

void TfrmMain::btnMiniClick() { showMinimized(); }

void TfrmMain::btnMenuClick()
{
    Help_Menu->popup(QPoint(x() + btnMenu->x(), y() + btnMenu->y() + btnMenu->height()));
}

void TfrmMain::HelpClick() { OpenUrl(QUrl(QString::fromLatin1(kHelpPage))); }
void TfrmMain::SupportClick() { OpenUrl(QUrl(QString::fromLatin1(kSupportPage))); }
void TfrmMain::HomepageClick() { OpenUrl(QUrl(QString::fromLatin1(kHomePage))); }
void TfrmMain::updateClick() { RunUpdater(); }

void TfrmMain::AboutClick()
{
    if (frmAbout)
        frmAbout->exec();
}

void TfrmMain::optionClick()
{
    if (frmOption)
        frmOption->exec();
}

bool TfrmMain::RunUpdater()
{
    // "Update/update" under the executable's folder; nothing waits and a missing program is
    // not reported.
    const QString program = ProgramFolder() + QStringLiteral("Update/update");
    const QFileInfo fi(program);
    if (!fi.isFile() || !fi.isExecutable())
        return false;
    return QProcess::startDetached(program, {QStringLiteral("/SilentCheck"), QStringLiteral("/Lang:UpdateLang.ini")});
}

} // namespace rm::ui
