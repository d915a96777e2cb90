// The options, properties and about dialogs: the theme choice applied live and undone by Cancel,
// what OK writes, the snapshot folder and format, the media facts of real probed files, the about
// texts and links.
#include "model/app_settings.h"
#include "model/custom_settings.h"
#include "model/media_item.h"
#include "model/registry_key.h"
#include "model/skin_theme.h"
#include "support/media_fixture.h"
#include "ui/app/app_windows.h"
#include "ui/app/main_form.h"
#include "ui/dialogs/about_form.h"
#include "ui/dialogs/option_form.h"
#include "ui/dialogs/pro_form.h"
#include "ui/toolkit/app_style.h"
#include "ui/toolkit/image_button.h"
#include "ui/toolkit/skin_panel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>

#include <fstream>

using namespace rm::ui;

namespace {

QString stored(const QString& name)
{
    rm::RegistryKey key;
    if (!key.OpenKey(rm::RegistryKey::kSettingKey, false))
        return {};
    return key.ReadString(name);
}

void store(const QString& name, const QString& value)
{
    rm::RegistryKey key;
    key.OpenKey(rm::RegistryKey::kSettingKey, true);
    key.WriteString(name, value);
}

QImage picture(const SkinPanel* panel) { return panel->Picture().toImage().convertToFormat(QImage::Format_RGB32); }

// What each window shows of the theme: its background picture.
struct Looks {
    QImage option, main, about, pro;
    bool operator==(const Looks&) const = default;
};

Looks looks()
{
    return {picture(frmOption->optionPanel), picture(frmMain->MainPanel),
            picture(frmAbout->aboutPanel), picture(frmPro->proPanel)};
}

} // namespace

class DialogsTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_program;
    QString m_defaultTheme, m_otherTheme;
    int m_defaultIndex = -1, m_otherIndex = -1;
    QList<QUrl> m_opened;

    // Shows the options dialog as the main window does (not blocking: the test is the user).
    void showOptions()
    {
        frmOption->show();
        QVERIFY(QTest::qWaitForWindowExposed(frmOption));
    }

    void pickTheme(int index)
    {
        frmOption->skin_cmb->setCurrentIndex(index);
        emit frmOption->skin_cmb->activated(index);
    }

private slots:
    void initTestCase()
    {
        rm::RegistryKey::SetStoreFile(m_dir.filePath("store.conf"));
        m_program = m_dir.filePath("program") + "/";
        QDir().mkpath(m_program);
        QVERIFY(QFile::link(QStringLiteral(RM_APP_DIR "/Images"), m_program + "Images"));
        rm::SetProgramFolder(m_program);
        CreateAppWindows();
        // The theme list as the main window hands it over at its first show.
        frmOption->ThemeList = rm::SkinTheme::Current().BuildThemeList(rm::ProgramFolder());
        frmOption->SavedThemePath = frmOption->CurrentThemePath = rm::TheAppSettings().themeFile;
        QVERIFY(frmOption->ThemeList.size() >= 2);
        m_defaultTheme = rm::TheAppSettings().themeFile;
        for (auto it = frmOption->ThemeList.cbegin(); it != frmOption->ThemeList.cend(); ++it) {
            if (QFileInfo(it->themeFile) == QFileInfo(m_defaultTheme))
                m_defaultIndex = it.key();
            else if (m_otherIndex < 0)
                m_otherIndex = it.key();
        }
        QVERIFY(m_defaultIndex >= 0 && m_otherIndex >= 0);
        m_otherTheme = frmOption->ThemeList[m_otherIndex].themeFile;
        SetUrlOpener([this](const QUrl& u) { m_opened << u; });
    }

    void cleanupTestCase()
    {
        SetUrlOpener({});
        TfrmOption::SetFolderChooser({});
        DestroyAppWindows();
        rm::SetProgramFolder({});
        rm::RegistryKey::SetStoreFile({});
    }

    // ------------------------------------------------------------------ options

    void optionsShowTicksAutoUpdateOnlyForOne_data()
    {
        QTest::addColumn<QString>("registry");
        QTest::addColumn<bool>("ticked");
        QTest::addColumn<QString>("written");
        QTest::newRow("2 reads as on, but the box is only for 1") << "2" << false << "0";
        QTest::newRow("1") << "1" << true << "1";
        QTest::newRow("0") << "0" << false << "0";
        QTest::newRow("-1") << "-1" << false << "0";
    }

    void optionsShowTicksAutoUpdateOnlyForOne()
    {
        QFETCH(QString, registry);
        QFETCH(bool, ticked);
        QFETCH(QString, written);
        store(QStringLiteral("AutoUpdate"), registry);
        rm::TheAppSettings() = rm::LoadAppSettings(m_program);
        // The main window ticks the box for any value but 0 at its first show; the dialog's own
        // show decides.
        frmOption->isAutoUpdate->setChecked(true);
        showOptions();
        QCOMPARE(frmOption->isAutoUpdate->isChecked(), ticked);
        QTest::mouseClick(frmOption->btnOK, Qt::LeftButton);
        QVERIFY(!frmOption->isVisible());
        QCOMPARE(stored(QStringLiteral("AutoUpdate")), written);
        QCOMPARE(rm::TheAppSettings().autoUpdate, written.toInt());
        QCOMPARE(stored(QStringLiteral("Skin")), m_defaultTheme);
    }

    void optionsWebReadyBox_data()
    {
        QTest::addColumn<QString>("registry");  // stored before the dialog shows ("" none)
        QTest::addColumn<bool>("shown");
        QTest::addColumn<bool>("tick");
        QTest::addColumn<QString>("written");
        QTest::newRow("none stored: on, and written as 1") << "" << true << true << "1";
        QTest::newRow("ticked by the user") << "0" << false << true << "1";
        QTest::newRow("1 shows ticked, untick writes 0") << "1" << true << false << "0";
        QTest::newRow("any other text reads as on") << "yes" << true << true << "1";
    }

    void optionsWebReadyBox()
    {
        QFETCH(QString, registry);
        QFETCH(bool, shown);
        QFETCH(bool, tick);
        QFETCH(QString, written);
        store(QStringLiteral("WebReady"), registry);
        rm::TheAppSettings() = rm::LoadAppSettings(m_program);
        QCOMPARE(stored(QStringLiteral("WebReady")), registry.isEmpty() ? QStringLiteral("1") : registry);
        showOptions();
        QCOMPARE(frmOption->isWebReady->isChecked(), shown);
        frmOption->isWebReady->setChecked(tick);
        QTest::mouseClick(frmOption->btnOK, Qt::LeftButton);
        QCOMPARE(stored(QStringLiteral("WebReady")), written);
        QCOMPARE(rm::TheAppSettings().webReady, tick);
        QCOMPARE(rm::LoadAppSettings(m_program).webReady, tick);
    }

    void optionsSnapshotFolderAndFormat()
    {
        const QString chosen = m_dir.filePath("shots");
        QString askedTitle;
        TfrmOption::SetFolderChooser([&](QWidget*, const QString& title, const QString&) {
            askedTitle = title;
            return chosen;
        });
        rm::TheAppSettings().snapshotFormat.clear();
        frmOption->SnapshotFormat.clear();
        showOptions();
        QCOMPARE(frmOption->pic_format->currentIndex(), 0); // "JPG" when no format was chosen
        QTest::mouseClick(frmOption->btnFormat, Qt::LeftButton);
        QVERIFY(frmOption->tabFormat->isVisible() && !frmOption->tabGeneral->isVisible());
        QTest::mouseClick(frmOption->btnSnappath, Qt::LeftButton);
        QCOMPARE(askedTitle, QStringLiteral("Please Select folder."));
        QCOMPARE(frmOption->PicPath->text(), QDir::toNativeSeparators(chosen));
        // A cancelled browse keeps the folder.
        TfrmOption::SetFolderChooser([](QWidget*, const QString&, const QString&) { return QString(); });
        QTest::mouseClick(frmOption->btnSnappath, Qt::LeftButton);
        QCOMPARE(frmOption->PicPath->text(), QDir::toNativeSeparators(chosen));
        // "Open" explores the folder in the field; an empty field opens nothing.
        m_opened.clear();
        QTest::mouseClick(frmOption->btnOpen, Qt::LeftButton);
        QCOMPARE(m_opened, QList<QUrl>({QUrl::fromLocalFile(QDir::toNativeSeparators(chosen))}));
        const QString typed = frmOption->PicPath->text();
        frmOption->PicPath->clear();
        QTest::mouseClick(frmOption->btnOpen, Qt::LeftButton);
        QCOMPARE(m_opened.size(), 1);
        frmOption->PicPath->setText(typed);

        frmOption->pic_format->setCurrentIndex(frmOption->pic_format->findText(QStringLiteral("PNG")));
        QTest::mouseClick(frmOption->btnOK, Qt::LeftButton);
        QCOMPARE(rm::TheAppSettings().snapshotFormat, QStringLiteral(".png"));
        QCOMPARE(rm::TheAppSettings().snapshotFolder, typed);
        // Kept in memory only.
        QVERIFY(stored(QStringLiteral("snapshot_output_dir")).isEmpty());

        // The next show brings them back; Cancel drops an edit of either.
        showOptions();
        QVERIFY(frmOption->tabGeneral->isVisible()); // every show starts on General
        QCOMPARE(frmOption->pic_format->currentText(), QStringLiteral("PNG"));
        QCOMPARE(frmOption->PicPath->text(), typed);
        frmOption->pic_format->setCurrentIndex(1);
        frmOption->PicPath->setText(QStringLiteral("/elsewhere"));
        QTest::mouseClick(frmOption->btnCancel, Qt::LeftButton);
        QCOMPARE(rm::TheAppSettings().snapshotFormat, QStringLiteral(".png"));
        QCOMPARE(rm::TheAppSettings().snapshotFolder, typed);
        showOptions();
        QCOMPARE(frmOption->pic_format->currentText(), QStringLiteral("PNG"));
        QCOMPARE(frmOption->PicPath->text(), typed);
        QTest::mouseClick(frmOption->btnClose, Qt::LeftButton);
        QVERIFY(!frmOption->isVisible());
    }

    void optionsThemeChangeThroughOkReskinsAndSaves()
    {
        const Looks before = looks();
        showOptions();
        QCOMPARE(frmOption->skin_cmb->currentIndex(), m_defaultIndex);
        QTest::mouseClick(frmOption->btnFormat, Qt::LeftButton);
        pickTheme(m_otherIndex);
        // Applied at once, on every window, and the dialog lands on its General page.
        QCOMPARE(rm::SkinTheme::Current().ThemeFile(), m_otherTheme);
        const Looks after = looks();
        QVERIFY(after.option != before.option);
        QVERIFY(after.main != before.main);
        QVERIFY(after.about != before.about);
        QVERIFY(after.pro != before.pro);
        QVERIFY(frmOption->tabGeneral->isVisible());
        // Nothing is written until OK.
        QCOMPARE(stored(QStringLiteral("Skin")), m_defaultTheme);
        QTest::mouseClick(frmOption->btnOK, Qt::LeftButton);
        QCOMPARE(stored(QStringLiteral("Skin")), m_otherTheme);
        QCOMPARE(rm::TheAppSettings().themeFile, m_otherTheme);
        QCOMPARE(frmOption->SavedThemePath, m_otherTheme);

        // Back to the first theme the same way: the windows look as they did at the start.
        showOptions();
        QCOMPARE(frmOption->skin_cmb->currentIndex(), m_otherIndex);
        pickTheme(m_defaultIndex);
        QTest::mouseClick(frmOption->btnOK, Qt::LeftButton);
        QCOMPARE(stored(QStringLiteral("Skin")), m_defaultTheme);
        QVERIFY(looks() == before);
    }

    void optionsCancelBringsTheShownThemeBack()
    {
        const Looks before = looks();
        QSignalSpy reskins(frmAbout, &SkinnedForm::skinApplied);

        // Another theme, then Cancel: the first theme is back on every window.
        showOptions();
        pickTheme(m_otherIndex);
        QCOMPARE(reskins.size(), 1);
        QTest::mouseClick(frmOption->btnCancel, Qt::LeftButton);
        QCOMPARE(reskins.size(), 2);
        QCOMPARE(rm::SkinTheme::Current().ThemeFile(), m_defaultTheme);
        QVERIFY(looks() == before);
        QCOMPARE(stored(QStringLiteral("Skin")), m_defaultTheme);

        // Another theme and the first one again: Cancel applies nothing more.
        showOptions();
        pickTheme(m_otherIndex);
        pickTheme(m_defaultIndex);
        QCOMPARE(reskins.size(), 4);
        QTest::mouseClick(frmOption->btnClose, Qt::LeftButton);
        QCOMPARE(reskins.size(), 4);
        QCOMPARE(rm::SkinTheme::Current().ThemeFile(), m_defaultTheme);
        QVERIFY(looks() == before);
    }

    void optionsUnlistedSavedThemeSelectsNothing()
    {
        const QString saved = frmOption->SavedThemePath;
        frmOption->SavedThemePath = m_dir.filePath("Unlisted.xml");
        showOptions();
        QCOMPARE(frmOption->skin_cmb->currentIndex(), -1);
        QCOMPARE(frmOption->skin_cmb->count(), frmOption->ThemeList.size());
        QTest::mouseClick(frmOption->btnCancel, Qt::LeftButton);
        QCOMPARE(rm::SkinTheme::Current().ThemeFile(), m_defaultTheme); // nothing was applied
        frmOption->SavedThemePath = saved;
    }

    // A theme removed from Images/ after start-up stays listed; picking it keeps the theme on
    // screen, and OK does not store a theme the next start could not load.
    void optionsVanishedThemeIsNeitherShownNorSaved()
    {
        const int key = frmOption->ThemeList.lastKey() + 1;
        frmOption->ThemeList.insert(key, {QStringLiteral("Gone"), m_dir.filePath("Gone.xml")});
        const Looks before = looks();
        showOptions();
        const int row = frmOption->skin_cmb->findText(QStringLiteral("Gone"));
        QVERIFY(row >= 0);
        pickTheme(row);
        QCOMPARE(rm::SkinTheme::Current().ThemeFile(), m_defaultTheme);
        QCOMPARE(frmOption->skin_cmb->currentIndex(), m_defaultIndex);
        QVERIFY(looks() == before);
        QTest::mouseClick(frmOption->btnOK, Qt::LeftButton);
        QCOMPARE(stored(QStringLiteral("Skin")), m_defaultTheme);
        frmOption->ThemeList.remove(key);
    }

    // ------------------------------------------------------------------ properties

    void propertiesShowProbedFacts_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("fpsNum");
        QTest::addColumn<int>("fpsDen");
        QTest::addColumn<int>("sampleRate");
        QTest::addColumn<int>("channels");
        QTest::addColumn<QString>("fps");
        QTest::newRow("NTSC rate, stereo") << "ntsc.mp4" << 30000 << 1001 << 44100 << 2 << "29.97 fps";
        QTest::newRow("25 fps, mono") << "pal.avi" << 25 << 1 << 22050 << 1 << "25.00 fps";
    }

    void propertiesShowProbedFacts()
    {
        QFETCH(QString, file);
        QFETCH(int, fpsNum);
        QFETCH(int, fpsDen);
        QFETCH(int, sampleRate);
        QFETCH(int, channels);
        QFETCH(QString, fps);
        rmtest::FixtureSpec spec;
        spec.container = file.endsWith(".avi") ? "avi" : "mp4";
        spec.audioCodec = file.endsWith(".avi") ? "libmp3lame" : "aac";
        spec.width = 240;
        spec.height = 176;
        spec.fpsNum = fpsNum;
        spec.fpsDen = fpsDen;
        spec.sampleRate = sampleRate;
        spec.channels = channels;
        spec.seconds = 1.5;
        spec.videoBitrate = 300000;
        const std::string path = rmtest::Fixture(file.toStdString(), spec);
        QVERIFY(!path.empty());
        rm::CustomSettings current, defaults;
        auto item = rm::CreateFileItem(path, {}, current, defaults);
        QVERIFY(item && item->media);

        frmPro->SetItem(*item);
        frmPro->show();
        QVERIFY(QTest::qWaitForWindowExposed(frmPro));
        QCOMPARE(frmPro->Text_N->text(), QFileInfo(file).completeBaseName());
        QCOMPARE(frmPro->Text_L->text(), QStringLiteral("00:00:02")); // 1.5 s rounds up
        QCOMPARE(frmPro->Text_R->text(), QStringLiteral("240x176"));
        QCOMPARE(frmPro->Text_F->text(), fps);
        QCOMPARE(frmPro->Text_S->text(), QStringLiteral("%1 Hz").arg(sampleRate));
        QCOMPARE(frmPro->Text_C->text(), QStringLiteral("%1 Channel").arg(channels));
        // Bit rates as the engine measured them, in decimal kbit/s.
        QCOMPARE(frmPro->Text_vb->text(), QStringLiteral("%1 kbps").arg(item->media->videoBitrate));
        QVERIFY2(item->media->videoBitrate > 100 && item->media->videoBitrate < 1000,
                 qPrintable(frmPro->Text_vb->text()));
        QCOMPARE(frmPro->Text_AB->text(), QStringLiteral("%1 kbps").arg(item->media->audioBitrate));
        QVERIFY(item->media->audioBitrate > 0);
        for (QLineEdit* e : frmPro->findChildren<QLineEdit*>())
            QVERIFY(e->isReadOnly());

        // A merge group node: its own name and length with its first member's facts.
        auto node = rm::CreateGroupNode(rm::kKindMerge, 3, item->media, current);
        rm::SetGroupLengths(*node, 65);
        QTest::mouseClick(frmPro->btnOK, Qt::LeftButton);
        QVERIFY(!frmPro->isVisible());
        frmPro->SetItem(*node);
        item.reset(); // the dialog keeps what it shows
        frmPro->show();
        QCOMPARE(frmPro->Text_N->text(), QStringLiteral("Merge3"));
        QCOMPARE(frmPro->Text_L->text(), QStringLiteral("00:01:05"));
        QCOMPARE(frmPro->Text_R->text(), QStringLiteral("240x176"));
        QCOMPARE(frmPro->Text_F->text(), fps);
        QTest::mouseClick(frmPro->btnClose, Qt::LeftButton);
        QVERIFY(!frmPro->isVisible());
    }

    void propertiesOfASilentFileSayNoSound()
    {
        rmtest::FixtureSpec spec;
        spec.width = 160;
        spec.height = 120;
        spec.audioCodec.clear();
        const std::string path = rmtest::Fixture("silent.mp4", spec);
        QVERIFY(!path.empty());
        rm::CustomSettings current, defaults;
        auto item = rm::CreateFileItem(path, {}, current, defaults);
        QVERIFY(item && item->media);
        frmPro->SetItem(*item);
        frmPro->show();
        QVERIFY(QTest::qWaitForWindowExposed(frmPro));
        const QStringList sound = {frmPro->Text_S->text(), frmPro->Text_C->text(), frmPro->Text_AB->text()};
        QCOMPARE(sound, QStringList({"No sound", "No sound", "No sound"}));
        QCOMPARE(frmPro->Text_R->text(), QStringLiteral("160x120"));
        frmPro->close();
    }

    void propertiesOfUnreadableFileShowZeros()
    {
        const QString path = m_dir.filePath("broken.avi");
        {
            std::ofstream out(path.toStdString());
            out << "RIFF but not really a video";
        }
        rm::CustomSettings current, defaults;
        auto item = rm::CreateFileItem(path.toStdString(), {}, current, defaults);
        QVERIFY(item);
        frmPro->SetItem(*item);
        frmPro->show();
        const QStringList shown = {frmPro->Text_R->text(), frmPro->Text_vb->text(), frmPro->Text_F->text(),
                                   frmPro->Text_S->text(), frmPro->Text_C->text(), frmPro->Text_AB->text()};
        QCOMPARE(shown, QStringList({"0x0", "0 kbps", "0.00 fps", "0 Hz", "0 Channel", "0 kbps"}));
        QCOMPARE(frmPro->Text_N->text(), QStringLiteral("broken"));
        frmPro->close();
    }

    void propertiesFrameRateText_data()
    {
        QTest::addColumn<float>("rate");
        QTest::addColumn<QString>("text");
        QTest::newRow("29.97003") << 29.97003f << "29.97 fps";
        QTest::newRow("25") << 25.0f << "25.00 fps";
        QTest::newRow("23.976") << 23.976f << "23.98 fps";
    }

    void propertiesFrameRateText()
    {
        QFETCH(float, rate);
        QFETCH(QString, text);
        rm::converter::MediaInfo media{};
        media.frameRate = rate;
        QCOMPARE(TfrmPro::PropertyTexts({}, {}, media).at(4), text);
    }

    void propertiesResolutionText_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("sarNum");
        QTest::addColumn<int>("sarDen");
        QTest::addColumn<int>("rotation");
        QTest::addColumn<QString>("text");
        QTest::newRow("square pixels") << 640 << 480 << 1 << 1 << 0 << "640x480";
        QTest::newRow("unknown shape") << 640 << 480 << 0 << 0 << 0 << "640x480";
        QTest::newRow("PAL 16:9") << 720 << 576 << 64 << 45 << 0 << "720x576 (shown 1024x576)";
        QTest::newRow("NTSC DVD 4:3") << 720 << 480 << 8 << 9 << 0 << "720x480 (shown 640x480)";
        QTest::newRow("phone, sideways") << 1920 << 1080 << 1 << 1 << 90 << "1920x1080 (shown 1080x1920)";
    }

    void propertiesResolutionText()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, sarNum);
        QFETCH(int, sarDen);
        QFETCH(int, rotation);
        QFETCH(QString, text);
        rm::converter::MediaInfo media{};
        media.width = width;
        media.height = height;
        media.sarNum = sarNum;
        media.sarDen = sarDen;
        media.rotation = rotation;
        QCOMPARE(TfrmPro::PropertyTexts({}, {}, media).at(2), text);
    }

    // ------------------------------------------------------------------ about

    void aboutShowsProductAndOpensLinks()
    {
        frmAbout->show();
        QVERIFY(QTest::qWaitForWindowExposed(frmAbout));
        QCOMPARE(frmAbout->Lab_name->text(), QStringLiteral("Orvane Reelmaker"));
        QVERIFY(frmAbout->Lab_name->isVisible());
        QCOMPARE(frmAbout->Lab_product->text(), QStringLiteral("Orvane Reelmaker Converter"));
        QVERIFY(!frmAbout->Lab_product->isVisible());
        QCOMPARE(frmAbout->version->text(), QStringLiteral("Version :"));
        QCOMPARE(frmAbout->version_num->text(), QStringLiteral("1.0.1 Build"));
        QCOMPARE(frmAbout->build_time->text(), QStringLiteral("2010-02-10"));
        QCOMPARE(frmAbout->Lab_supprot->text(), QStringLiteral("Support :"));
        QCOMPARE(frmAbout->Lab_homepage->text(), QStringLiteral("HomePage :"));
        QVERIFY(QUrl(QString::fromLatin1(kSupportPage)).host().endsWith("orvane.example"));
        QVERIFY(QUrl(QString::fromLatin1(kHomePage)).host().endsWith("orvane.example"));
        // The links show their own addresses and open them.
        const struct {
            QLabel* label;
            const char* address;
        } links[] = {{frmAbout->supportUrl, kSupportPage}, {frmAbout->homeUrl, kHomePage}};
        for (const auto& l : links) {
            QTextDocument doc;
            doc.setHtml(l.label->text());
            QCOMPARE(doc.toPlainText(), QString::fromLatin1(l.address));
            m_opened.clear();
            QTest::mouseClick(l.label, Qt::LeftButton, {}, QPoint(8, l.label->height() / 2));
            QCOMPARE(m_opened, QList<QUrl>({QUrl(QString::fromLatin1(l.address))}));
        }
        QTest::mouseClick(frmAbout->btnOK, Qt::LeftButton);
        QVERIFY(!frmAbout->isVisible());
    }

    // Not a check: with RM_SCREENSHOT_DIR set and a real display (xvfb-run, QT_QPA_PLATFORM=xcb),
    // shows each dialog and photographs the screen into that folder as dlg_<name>.png.
    void screenshots()
    {
        const QString dir = qEnvironmentVariable("RM_SCREENSHOT_DIR");
        if (dir.isEmpty())
            QSKIP("RM_SCREENSHOT_DIR not set");
        auto shoot = [&](QWidget* w, const QString& name) {
            w->show();
            QVERIFY(QTest::qWaitForWindowExposed(w));
            w->raise();
            QTest::qWait(300);
            QCOMPARE(QProcess::execute(QStringLiteral("import"),
                                       {QStringLiteral("-window"), QStringLiteral("root"),
                                        dir + QStringLiteral("/dlg_") + name + QStringLiteral(".png")}),
                     0);
        };
        QDir().mkpath(dir);
        ApplyAppStyle(*qApp); // the program's look
        rm::TheAppSettings().autoUpdate = 1;
        shoot(frmOption, QStringLiteral("option_general"));
        QTest::mouseClick(frmOption->btnFormat, Qt::LeftButton);
        shoot(frmOption, QStringLiteral("option_format"));
        QTest::mouseClick(frmOption->btnGeneral, Qt::LeftButton);
        pickTheme(m_otherIndex);
        shoot(frmOption, QStringLiteral("option_other_theme"));
        QTest::mouseClick(frmOption->btnCancel, Qt::LeftButton);

        rmtest::FixtureSpec spec;
        spec.width = 320;
        spec.height = 240;
        spec.fpsNum = 30000;
        spec.fpsDen = 1001;
        rm::CustomSettings current, defaults;
        auto item = rm::CreateFileItem(rmtest::Fixture("holiday_trip.mp4", spec), {}, current, defaults);
        frmPro->SetItem(*item);
        shoot(frmPro, QStringLiteral("properties"));
        frmPro->close();
        shoot(frmAbout, QStringLiteral("about"));
        frmAbout->close();
        // The other theme's title band is taller: the cards' contents follow it.
        showOptions();
        pickTheme(m_otherIndex);
        QTest::mouseClick(frmOption->btnOK, Qt::LeftButton);
        shoot(frmPro, QStringLiteral("properties_other_theme"));
        frmPro->close();
        shoot(frmAbout, QStringLiteral("about_other_theme"));
        frmAbout->close();
    }
};

QTEST_MAIN(DialogsTest)
#include "dialogs_test.moc"
