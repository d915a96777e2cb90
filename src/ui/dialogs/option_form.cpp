#include "ui/dialogs/option_form.h"

#include "model/app_settings.h"
#include "ui/app/app_windows.h"
#include "model/registry_key.h"
#include "ui/app/message_boxes.h"
#include "ui/toolkit/image_button.h"
#include "ui/toolkit/skin_panel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QShowEvent>
#include <QUrl>

namespace rm::ui {

namespace {

TfrmOption::FolderChooser g_folderChooser;

// Picture formats of pic_format, by item index.
const char* const kFormatNames[] = {"JPG", "BMP", "PNG"};
const char* const kFormatExtensions[] = {".jpg", ".bmp", ".png"};

bool samePath(const QString& a, const QString& b)
{
    return !a.isEmpty() && QDir::cleanPath(a) == QDir::cleanPath(b);
}

} // namespace

TfrmOption::TfrmOption(QWidget* parent)
    : SkinnedForm(QStringLiteral("option"), QStringLiteral("option/"), QStringLiteral("optionFormCreate"), parent)
{
    setObjectName(QStringLiteral("frmOption"));
    optionPanel = AddBackground(QStringLiteral("optionPanel"));
    mainLabel = AddTitleLabel(QStringLiteral("mainLabel"), QStringLiteral("Option"));
    tabGeneral = new QWidget(this);
    tabGeneral->setObjectName(QStringLiteral("tabGeneral"));
    tabFormat = new QWidget(this);
    tabFormat->setObjectName(QStringLiteral("tabFormat"));

    // General page: the theme list and the auto update box.
    labSkin = new QLabel(QStringLiteral("Choose your skin :"), tabGeneral);
    labSkin->setObjectName(QStringLiteral("labSkin"));
    labSkin->setGeometry(18, 20, 300, 20);
    skin_cmb = new QComboBox(tabGeneral);
    skin_cmb->setObjectName(QStringLiteral("skin_cmb"));
    skin_cmb->setGeometry(18, 44, 260, 28);
    isAutoUpdate = new QCheckBox(QStringLiteral("Auto Update"), tabGeneral);
    isAutoUpdate->setObjectName(QStringLiteral("isAutoUpdate"));
    isAutoUpdate->setGeometry(18, 92, 240, 24);
    isWebReady = new QCheckBox(QStringLiteral("Web-ready output folders (copy the players beside the pages)"), tabGeneral);
    isWebReady->setObjectName(QStringLiteral("isWebReady"));
    isWebReady->setToolTip(QStringLiteral("The pages of an output folder then play wherever the folder is "
                                          "uploaded, without loading anything from other sites."));
    isWebReady->setGeometry(18, 120, 380, 24);
    isRestoreList = new QCheckBox(QStringLiteral("Restore the task list at start"), tabGeneral);
    isRestoreList->setObjectName(QStringLiteral("isRestoreList"));
    isRestoreList->setToolTip(QStringLiteral("After a normal close the next start brings the task list back without "
                                             "asking. A list left by a crash is always offered back."));
    isRestoreList->setGeometry(18, 148, 380, 24);

    // Format page: snapshot folder and picture format.
    labPicPath = new QLabel(QStringLiteral("Snapshot Path :"), tabFormat);
    labPicPath->setObjectName(QStringLiteral("labPicPath"));
    labPicPath->setGeometry(18, 18, 300, 20);
    PicPath = new QLineEdit(tabFormat);
    PicPath->setObjectName(QStringLiteral("PicPath"));
    PicPath->setGeometry(18, 43, 330, 26);
    labFormat = new QLabel(QStringLiteral("Format :"), tabFormat);
    labFormat->setObjectName(QStringLiteral("labFormat"));
    labFormat->setGeometry(18, 92, 300, 20);
    pic_format = new QComboBox(tabFormat);
    pic_format->setObjectName(QStringLiteral("pic_format"));
    for (const char* name : kFormatNames)
        pic_format->addItem(QString::fromLatin1(name));
    pic_format->setCurrentIndex(0);
    pic_format->setGeometry(18, 116, 120, 28);

    auto button = [this](ImageButton*& b, const char* name, QWidget* parent) {
        b = new ImageButton(parent, QString::fromLatin1(name));
        AddButton(b, QString::fromLatin1(name));
    };
    button(btnGeneral, "btnGeneral", this);
    button(btnFormat, "btnFormat", this);
    AddControl(tabGeneral, QStringLiteral("tabGeneral"));
    AddControl(tabFormat, QStringLiteral("tabFormat"));
    button(btnSnappath, "btnSnappath", tabFormat);
    button(btnOpen, "btnOpen", tabFormat);
    button(btnOK, "btnOK", this);
    button(btnCancel, "btnCancel", this);
    button(btnClose, "btnClose", this);
    btnSnappath->setToolTip(QStringLiteral("Browse"));
    btnGeneral->setCheckable(true);
    btnFormat->setCheckable(true);
    connect(btnGeneral, &QAbstractButton::clicked, this, &TfrmOption::btnGeneralClick);
    connect(btnFormat, &QAbstractButton::clicked, this, &TfrmOption::btnFormatClick);
    // A user's choice only: filling the list at show must not apply anything.
    connect(skin_cmb, &QComboBox::activated, this, &TfrmOption::skin_cmbChange);
    connect(btnSnappath, &QAbstractButton::clicked, this, &TfrmOption::btnSnappathClick);
    connect(btnOpen, &QAbstractButton::clicked, this, &TfrmOption::btnOpenClick);
    connect(btnOK, &QAbstractButton::clicked, this, &TfrmOption::btnOKClick);
    connect(btnCancel, &QAbstractButton::clicked, this, &TfrmOption::btnCancelClick);
    connect(btnClose, &QAbstractButton::clicked, this, &TfrmOption::btnCancelClick);

    // The main window has loaded the settings before any dialog exists.
    SnapshotFolder = TheAppSettings().snapshotFolder;
    SnapshotFormat = TheAppSettings().snapshotFormat;
    SavedThemePath = CurrentThemePath = SkinTheme::Current().ThemeFile();

    BuildSkin();
    ShowGeneralPage();
}

void TfrmOption::SetFolderChooser(FolderChooser chooser) { g_folderChooser = std::move(chooser); }

void TfrmOption::ShowGeneralPage()
{
    tabGeneral->show();
    tabFormat->hide();
    btnGeneral->setChecked(true); // the active page's button shows its hover picture
    btnFormat->setChecked(false);
}

void TfrmOption::ShowFormatPage()
{
    tabFormat->show();
    tabGeneral->hide();
    btnFormat->setChecked(true);
    btnGeneral->setChecked(false);
}

void TfrmOption::ApplySkin()
{
    SkinnedForm::ApplySkin();
    ShowGeneralPage();
}

void TfrmOption::showEvent(QShowEvent* e)
{
    SkinnedForm::showEvent(e);
    if (!e->spontaneous())
        FormShow();
}

void TfrmOption::selectSavedTheme()
{
    int index = -1;
    for (int i = 0; i < skin_cmb->count(); ++i) {
        const auto it = ThemeList.constFind(skin_cmb->itemData(i).toInt());
        if (it != ThemeList.constEnd() && samePath(it->themeFile, SavedThemePath)) {
            index = i;
            break;
        }
    }
    skin_cmb->setCurrentIndex(index);
}

void TfrmOption::FormShow()
{
    ShowGeneralPage();
    // Theme names in key order; the item data keeps the key.
    skin_cmb->clear();
    for (auto it = ThemeList.constBegin(); it != ThemeList.constEnd(); ++it)
        skin_cmb->addItem(it->name, it.key());
    selectSavedTheme();
    isAutoUpdate->setChecked(TheAppSettings().autoUpdate == 1);
    isWebReady->setChecked(TheAppSettings().webReady);
    isRestoreList->setChecked(TheAppSettings().restoreTaskList);
    PicPath->setText(SnapshotFolder);
    for (int i = 0; i < 3; ++i)
        if (SnapshotFormat == QLatin1String(kFormatExtensions[i]))
            pic_format->setCurrentIndex(i);
    CurrentThemePath = SavedThemePath;
    m_shownSkinIndex = skin_cmb->currentIndex();
}

bool TfrmOption::applyTheme(const QString& themeFile)
{
    // Loads the theme, re-skins this dialog, the main window and the other windows in their order.
    if (!ChangeTheme(themeFile))
        return false;
    if (frmOption != this)
        ApplySkin(); // a dialog outside the program's window set (tests)
    return true;
}

void TfrmOption::skin_cmbChange(int index)
{
    const auto it = ThemeList.constFind(index >= 0 ? skin_cmb->itemData(index).toInt() : -1);
    if (it == ThemeList.constEnd())
        return;
    if (samePath(it->themeFile, CurrentThemePath) && samePath(SkinTheme::Current().ThemeFile(), CurrentThemePath))
        return; // already on screen
    if (!applyTheme(it->themeFile)) {
        // A theme that can no longer be read is neither shown nor kept for OK.
        for (int i = 0; i < skin_cmb->count(); ++i) {
            const auto cur = ThemeList.constFind(skin_cmb->itemData(i).toInt());
            if (cur != ThemeList.constEnd() && samePath(cur->themeFile, CurrentThemePath)) {
                skin_cmb->setCurrentIndex(i);
                return;
            }
        }
        skin_cmb->setCurrentIndex(m_shownSkinIndex);
        return;
    }
    CurrentThemePath = it->themeFile;
}

void TfrmOption::btnSnappathClick()
{
    const QString title = QStringLiteral("Please Select folder.");
    QString folder;
    if (g_folderChooser)
        folder = g_folderChooser(this, title, PicPath->text());
    else
        folder = QFileDialog::getExistingDirectory(this, title, PicPath->text(), QFileDialog::ShowDirsOnly);
    if (!folder.isEmpty())
        PicPath->setText(QDir::toNativeSeparators(folder));
}

void TfrmOption::btnOpenClick()
{
    const QString folder = PicPath->text().trimmed();
    if (!folder.isEmpty())
        OpenUrl(QUrl::fromLocalFile(folder));
}

void TfrmOption::btnOKClick()
{
    SnapshotFolder = PicPath->text();
    const int format = pic_format->currentIndex();
    if (format >= 0 && format < 3)
        SnapshotFormat = QString::fromLatin1(kFormatExtensions[format]);
    AppSettings& settings = TheAppSettings();
    settings.snapshotFolder = SnapshotFolder;
    settings.snapshotFormat = SnapshotFormat;
    // Save: the theme on screen becomes the saved one, with the auto update switch.
    SavedThemePath = CurrentThemePath;
    const bool saved = SaveAppSettings(settings, isAutoUpdate->isChecked(), SavedThemePath);
    const bool restore = SaveRestoreTaskList(settings, isRestoreList->isChecked());
    if (!SaveWebReady(settings, isWebReady->isChecked()) || !saved || !restore) {
        // The dialog stays open: nothing was saved, and the user may free space and try again.
        ShowMessage(this, QStringLiteral("The settings could not be saved: %1 cannot be written.\n"
                                         "The settings saved before are kept.")
                              .arg(QDir::toNativeSeparators(RegistryKey::StoreFile())));
        return;
    }
    accept();
}

void TfrmOption::btnCancelClick() { reject(); }

void TfrmOption::reject()
{
    if (skin_cmb->currentIndex() != m_shownSkinIndex && !samePath(CurrentThemePath, SavedThemePath)) {
        if (applyTheme(SavedThemePath))
            CurrentThemePath = SavedThemePath;
    }
    SkinnedForm::reject();
}

} // namespace rm::ui
