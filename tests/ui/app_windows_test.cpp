// Start-up and the main window shell: the windows in their order, the first show (updater, theme
// list, menus, title), a theme change across the windows, and the help menu's pages.
#include "model/app_settings.h"
#include "model/registry_key.h"
#include "model/skin_theme.h"
#include "ui/app/app_windows.h"
#include "ui/app/main_form.h"
#include "ui/convert/convert_form.h"
#include "ui/custom/custom_form.h"
#include "ui/dialogs/about_form.h"
#include "ui/dialogs/pro_form.h"
#include "ui/editors/dvd_form.h"
#include "ui/dialogs/option_form.h"
#include "ui/editors/clip_form.h"
#include "ui/editors/edit_form.h"
#include "ui/toolkit/image_button.h"
#include "ui/toolkit/skin_ops.h"
#include "ui/toolkit/skin_panel.h"
#include "ui/toolkit/skin_track_bar.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

using namespace rm::ui;

class AppWindowsTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_program;
    QString m_updaterLog;

    static void store(const QString& name, const QString& value)
    {
        rm::RegistryKey key;
        key.OpenKey(rm::RegistryKey::kSettingKey, true);
        key.WriteString(name, value);
    }

    void startWindows(const QString& autoUpdate)
    {
        QFile::remove(m_updaterLog);
        store(QStringLiteral("AutoUpdate"), autoUpdate);
        CreateAppWindows();
        frmMain->show();
        QVERIFY(QTest::qWaitForWindowExposed(frmMain));
        QVERIFY(frmMain->FirstShowDone());
    }

private slots:
    void initTestCase()
    {
        rm::RegistryKey::SetStoreFile(m_dir.filePath("store.conf"));
        // A program folder of our own: the built themes, and an updater that notes its arguments.
        m_program = m_dir.filePath("program") + "/";
        QDir().mkpath(m_program + "Update");
        QVERIFY(QFile::link(QStringLiteral(RM_APP_DIR "/Images"), m_program + "Images"));
        m_updaterLog = m_dir.filePath("updater-args");
        QFile script(m_program + "Update/update");
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write(QStringLiteral("#!/bin/sh\necho \"$@\" > '%1'\n").arg(m_updaterLog).toUtf8());
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        rm::SetProgramFolder(m_program);
    }

    void cleanupTestCase()
    {
        DestroyAppWindows();
        rm::SetProgramFolder({});
        rm::RegistryKey::SetStoreFile({});
    }

    void windowsAreCreatedInOrderAndTheFirstShowRunsTheUpdater()
    {
        startWindows(QStringLiteral("2")); // anything but empty or "0" is on
        QCOMPARE(CreatedWindowOrder(),
                 QStringList({"TfrmMain", "TPlayerfrm", "TfrmEdit", "TfrmClip", "TfrmCustom", "TfrmConvert",
                              "TfrmPro", "TfrmAbout", "TfrmOption", "TfrmDVD"}));
        QCOMPARE(frmMain->windowTitle(), QStringLiteral("Orvane Reelmaker"));
        QCOMPARE(frmMain->mainLabel->text(), QStringLiteral("Orvane Reelmaker"));
        QCOMPARE(frmMain->ThemeFile(), m_program + "Images/DefaultImage.xml");
        QCOMPARE(frmMain->OutputPath->text(), rm::DefaultOutputFolder());

        // The updater starts at once, detached, with its parameters.
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(m_updaterLog) && QFile(m_updaterLog).size() > 0, 5000);
        QFile log(m_updaterLog);
        QVERIFY(log.open(QIODevice::ReadOnly));
        QCOMPARE(log.readAll().trimmed(), QByteArray("/SilentCheck /Lang:UpdateLang.ini"));
        QVERIFY(frmOption->isAutoUpdate->isChecked());

        // The options dialog knows every theme and the one in use.
        QCOMPARE(frmOption->ThemeList.size(), QDir(m_program + "Images").entryList({"*.xml"}, QDir::Files).size());
        QVERIFY(frmOption->ThemeList.size() >= 2);
        QCOMPARE(frmOption->SavedThemePath, frmMain->ThemeFile());
        QCOMPARE(rm::SkinTheme::Current().ThemeFile(), frmMain->ThemeFile());
        QCOMPARE(frmOption->SnapshotFolder, rm::DefaultSnapshotFolder());

        // The context menu has lost its two track entries only (the form has them before "Properties").
        QStringList entries;
        for (QAction* a : frmMain->Edit_Menu->actions())
            entries << (a->isSeparator() ? QStringLiteral("-") : a->text());
        QCOMPARE(entries, QStringList({"CheckAll    ", "UncheckAll", "-", "Delete", "ClearAll", "-", "Move Up",
                                       "Move Down", "-", "Merge", "Slide", "-", "Properties", "Watch result"}));

        // Nothing selected: the task and preview buttons show their disabled pictures.
        for (ImageButton* b : {frmMain->edit, frmMain->clip, frmMain->merge, frmMain->slide, frmMain->customize,
                               frmMain->btnConvert, frmMain->btnPlay, frmMain->btnStop, frmMain->btnPhoto}) {
            QVERIFY2(!b->isEnabled(), qPrintable(b->objectName()));
            const QImage dis = LoadSkinPicture(frmMain->PicturePath(b->objectName(), rm::PictureDisabled)).toImage();
            QCOMPARE(b->NormalPicture().toImage(), dis);
        }
        QVERIFY(frmMain->addFile->isEnabled());
        QVERIFY(!frmMain->NodeTree->isVisible());
        QVERIFY(!frmMain->MainPlayPanel->isVisible());
        QVERIFY(!frmMain->MainTrackBar->SliderPicture().isNull());
        QCOMPARE(frmMain->PreviewSize(), frmMain->MainPlayPanel->size());
        QCOMPARE(frmMain->size(), QSize(frmMain->WindowWidth(), frmMain->WindowHeight()));
    }

    void helpMenuEntriesAndPages()
    {
        QStringList entries;
        for (QAction* a : frmMain->Help_Menu->actions())
            entries << (a->isSeparator() ? QStringLiteral("-") : a->text());
        QCOMPARE(entries, QStringList({"Help", "Support", "-", "Homepage", "Update Product", "About", "-",
                                       "Open Task List...", "Save Task List As..."}));

        QList<QUrl> opened;
        SetUrlOpener([&](const QUrl& u) { opened << u; });
        const QList<QAction*> actions = frmMain->Help_Menu->actions();
        actions[0]->trigger();
        actions[1]->trigger();
        actions[3]->trigger();
        frmMain->btnHelp->click();
        SetUrlOpener({});
        QCOMPARE(opened.size(), 4);
        QCOMPARE(opened[0], QUrl(QString::fromLatin1(kHelpPage)));
        QCOMPARE(opened[1], QUrl(QString::fromLatin1(kSupportPage)));
        QCOMPARE(opened[2], QUrl(QString::fromLatin1(kHomePage)));
        QCOMPARE(opened[3], opened[0]);
        for (const QUrl& u : opened)
            QVERIFY(u.host().endsWith(QLatin1String("orvane.example")));
    }

    void keyPreviewFiltersOnlyWhileEditing()
    {
        auto* editor = new QLineEdit(frmMain->NodeTree);
        frmMain->NodeTree->layout()->addWidget(editor);
        QTest::keyClicks(editor, QStringLiteral("a?b"));
        QCOMPARE(editor->text(), QStringLiteral("a?b"));
        editor->clear();
        frmMain->SetKeyPreview(true);
        QTest::keyClicks(editor, QStringLiteral("c/d?e|f"));
        QCOMPARE(editor->text(), QStringLiteral("cdef"));
        frmMain->SetKeyPreview(false);
        delete editor;
    }

    void themeChangeReskinsTheListedWindowsInOrder()
    {
        const QString other = m_program + "Images/Sunset.xml";
        QVERIFY(QFile::exists(other));
        QStringList order;
        for (SkinnedForm* f : std::initializer_list<SkinnedForm*>{
                 frmMain, frmEdit, frmClip, frmCustom, frmConvert, frmPro, frmAbout, frmOption, frmDVD})
            connect(f, &SkinnedForm::skinApplied, this, [&order, f] { order << f->objectName(); });
        const qint64 clipPicture = frmClip->clipBackground->Picture().cacheKey();
        const QRect clipClose = frmClip->close->geometry();
        const QSize clipSize = frmClip->size();
        const QSize mainSize = frmMain->size();
        const qint64 editPicture = frmEdit->Background->Picture().cacheKey();
        const QString oldFolder = rm::SkinTheme::Current().ImageFolder();

        QVERIFY(ChangeTheme(other));
        QCOMPARE(order, QStringList({"frmOption", "frmMain", "frmAbout", "frmConvert", "frmCustom", "frmEdit",
                                     "frmPro", "frmDVD"}));
        QVERIFY(rm::SkinTheme::Current().ImageFolder() != oldFolder);
        QVERIFY(rm::SkinTheme::Current().ImageFolder().endsWith("/Sunset/"));
        // The trim dialog keeps what it was built with.
        QCOMPARE(frmClip->clipBackground->Picture().cacheKey(), clipPicture);
        QCOMPARE(frmClip->close->geometry(), clipClose);
        QCOMPARE(frmClip->size(), clipSize);
        // The others took the new theme's layout, pictures and window size.
        QVERIFY(frmEdit->Background->Picture().cacheKey() != editPicture);
        const rm::SkinElementValues close = frmMain->Element(QStringLiteral("close"));
        QCOMPARE(frmMain->close->geometry(), QRect(close.x, close.y, close.width, close.height));
        const rm::SkinElementValues win = frmMain->Element(QStringLiteral("mainFormCreate"));
        QCOMPARE(frmMain->size(), QSize(win.width, win.height));
        QVERIFY(frmMain->size() != mainSize);
        QVERIFY(frmMain->MainTrackBar->hasFocus() || !frmMain->isActiveWindow());
        // Disabled buttons keep their disabled look in the new theme.
        QCOMPARE(frmMain->edit->NormalPicture().toImage(),
                 LoadSkinPicture(frmMain->PicturePath("edit", rm::PictureDisabled)).toImage());
        // The wizard stays on its page.
        QVERIFY(frmCustom->customize_BG1->isVisibleTo(frmCustom));
        QVERIFY(!frmCustom->customize_BG3->isVisibleTo(frmCustom));

        // An unreadable theme changes nothing.
        order.clear();
        QVERIFY(!ChangeTheme(m_program + "Images/none.xml"));
        QVERIFY(order.isEmpty());
        QVERIFY(ChangeTheme(frmMain->ThemeFile()));
    }

    void withAutoUpdateOffOnlyTheMenuStartsTheUpdater()
    {
        DestroyAppWindows();
        startWindows(QStringLiteral("0"));
        QTest::qWait(300);
        QVERIFY(!QFile::exists(m_updaterLog));
        QVERIFY(!frmOption->isAutoUpdate->isChecked());
        frmMain->Help_Menu->actions().at(4)->trigger(); // "Update Product"
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(m_updaterLog), 5000);

        // A missing updater is silent.
        QFile::rename(m_program + "Update/update", m_program + "Update/gone");
        QVERIFY(!TfrmMain::RunUpdater());
        QFile::rename(m_program + "Update/gone", m_program + "Update/update");
    }

    void aThemeWithoutPicturesEndsStartUp()
    {
        DestroyAppWindows();
        const QString broken = m_dir.filePath("broken.xml");
        QFile f(broken);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("<skin name='Broken' images='nowhere'><section name='main'>"
                "<element name='mainFormCreate' x='0' y='0' width='400' height='300'/>"
                "<element name='Background' x='0' y='0' width='400' height='300'/></section></skin>");
        f.close();
        store(QStringLiteral("Skin"), broken);
        bool thrown = false;
        try {
            CreateAppWindows();
        } catch (const SkinPictureError& e) {
            thrown = true;
            QVERIFY(e.path().endsWith(QLatin1String("nowhere/main/Background.bmp")));
        }
        QVERIFY(thrown);
        QVERIFY(frmMain == nullptr); // nothing half-built is left behind

        // A theme file that is no theme names itself in the error.
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("<profiles/>");
        f.close();
        thrown = false;
        try {
            CreateAppWindows();
        } catch (const SkinPictureError& e) {
            thrown = true;
            QCOMPARE(e.path(), broken);
        }
        QVERIFY(thrown);
        store(QStringLiteral("Skin"), QString());
    }

    void anAbsurdThemeIsRefusedNamingTheSettingOrReplacedByTheDefault()
    {
        DestroyAppWindows();
        const QString absurd = m_dir.filePath("absurd.xml");
        QFile f(absurd);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("<skin name='Absurd' images='nowhere'><section name='main'>"
                "<element name='mainFormCreate' x='-2147483648' y='-2147483648' width='2147483647' height='2147483647'/>"
                "<element name='Background' x='0' y='0' width='-400' height='-300'/></section></skin>");
        f.close();
        store(QStringLiteral("Skin"), absurd);

        // Declined: start-up ends with a message that names the setting and its file.
        QString asked;
        bool thrown = false;
        try {
            CreateAppWindowsOfferingDefaultTheme([&asked](const QString& message) {
                asked = message;
                return false;
            });
        } catch (const ThemeRefusedError& e) {
            thrown = true;
            QCOMPARE(e.path(), absurd);
            QCOMPARE(QString::fromStdString(e.what()), asked);
        }
        QVERIFY(thrown);
        QVERIFY(frmMain == nullptr);
        QVERIFY2(asked.contains(QLatin1String("\"Skin\"")), qPrintable(asked));
        QVERIFY2(asked.contains(rm::RegistryKey::StoreFile()), qPrintable(asked));
        QVERIFY2(asked.contains(absurd), qPrintable(asked));

        // Accepted: the default theme is stored and the windows come up with it.
        CreateAppWindowsOfferingDefaultTheme([](const QString&) { return true; });
        QVERIFY(frmMain != nullptr);
        QCOMPARE(frmMain->ThemeFile(), m_program + "Images/DefaultImage.xml");
        rm::RegistryKey key;
        QVERIFY(key.OpenKey(rm::RegistryKey::kSettingKey, false));
        QCOMPARE(key.ReadString(QStringLiteral("Skin")), m_program + "Images/DefaultImage.xml");
        key.CloseKey();
        frmMain->show();
        QVERIFY(QTest::qWaitForWindowExposed(frmMain));
        QVERIFY(frmMain->width() > 100 && frmMain->width() < 10000);

        // Picked again later, it changes nothing.
        QVERIFY(!ChangeTheme(absurd));
        QCOMPARE(rm::SkinTheme::Current().ThemeFile(), frmMain->ThemeFile());
    }
};

QTEST_MAIN(AppWindowsTest)
#include "app_windows_test.moc"
