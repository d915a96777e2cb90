// The customisation wizard offscreen: profile list and "Custom", output kinds, galleries,
// credits, OK / close / "Save as default", and the preview player it generates. Its window-free
// rules are in wizard_rules_test.cpp, the decoration in wizard_decoration_test.cpp.
#include "model/app_settings.h"
#include "model/custom_settings.h"
#include "model/media_item.h"
#include "model/profile_catalogue.h"
#include "model/registry_key.h"
#include "model/skin_theme.h"
#include "convert/player_jobs.h"
#include "ui/custom/custom_form.h"
#include "ui/custom/custom_form_internal.h"
#include "ui/custom/preview_server.h"
#include "ui/custom/wizard_logic.h"
#include "ui/foreign_client.h"
#include "ui/picture_checks.h"
#include "ui/toolkit/app_style.h"
#include "ui/toolkit/image_button.h"
#include "ui/wizard_fixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QMouseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QTcpSocket>
#include <QFile>
#include <QImage>
#include <QScreen>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QWheelEvent>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstring>
#include <fstream>
#include <memory>

using namespace rm;
using namespace rm::ui;
namespace wz = rm::wizard;

// Captures the "More" pages instead of starting a browser.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& u) { urls << u; }
};

class CustomWizardTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_program;
    std::unique_ptr<TfrmCustom> m_form;
    std::unique_ptr<MediaItem> m_task;
    QStringList m_messages;
    UrlCatcher m_urls;

    // A task as the task list makes it: the profile-default settings of "normal".
    void newTask(int kind = kKindFile)
    {
        m_task = std::make_unique<MediaItem>();
        InitItem(*m_task);
        m_task->kind = kind;
        m_task->role = kind == kKindSlide ? kRoleSlideNode : kRolePlain;
        m_task->settings = std::make_unique<CustomSettings>();
        ResetProcessSettings();
        ApplyProfileDefaults(FindProfileByName("normal"));
        CopyCustomSettings(*m_task->settings, ProfileDefaultSettings());
        m_task->settings->IsCustom = 0;
        m_task->settings->Width = 400;
        m_task->settings->Height = 300;
    }

    void openWizard()
    {
        if (m_form->isVisible())
            m_form->hide();
        m_form->SetTask(m_task.get());
        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    }

    QString storeValue(const QString& name)
    {
        RegistryKey key;
        if (!key.OpenKey(RegistryKey::kCustomKey, false))
            return QStringLiteral("<no key>");
        return key.ValueExists(name) ? key.ReadString(name) : QStringLiteral("<no value>");
    }

    QString makeJpeg(const QString& name, int w = 64, int h = 48)
    {
        QImage im(w, h, QImage::Format_RGB32);
        im.fill(Qt::red);
        const QString path = m_dir.filePath(name);
        im.save(path, "JPG");
        return path;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        RegistryKey::SetStoreFile(m_dir.filePath("store.conf"));
        m_program = rmtest::wizard::MakeProgramFolder(m_dir.path());
        QVERIFY(!m_program.isEmpty());
        QVERIFY(SkinTheme::Current().Load(m_program + "Images/DefaultImage.xml"));
        TfrmCustom::SetPreviewEnabled(false);
        TfrmCustom::SetMessageShower([this](const QString& m) { m_messages << m; });
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &m_urls, "open");
        m_form = std::make_unique<TfrmCustom>();
        m_form->FillTemplateGalleries(m_program);
    }

    void cleanupTestCase()
    {
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        m_form.reset();
        TfrmCustom::SetFileChooser({});
        TfrmCustom::SetFontChooser({});
        TfrmCustom::SetMessageShower({});
        SetProgramFolder({});
        RegistryKey::SetStoreFile({});
    }

    void init()
    {
        m_messages.clear();
        QFile::remove(m_dir.filePath("store.conf"));
        newTask();
    }

    // ---------------------------------------------------------------- the wizard

    void customShownWhileIsCustomAndOtherProfileClearsIt()
    {
        SetText(m_task->settings->ProfileName, "high");
        m_task->settings->VideoBitRate = 1200;
        m_task->settings->FrameRate = 29.97f;
        m_task->settings->IsCustom = 1;
        openWizard();
        QCOMPARE(m_form->comProfile->currentText(), QStringLiteral("Custom"));
        QCOMPARE(m_form->comProfile->count(), 4);
        QCOMPARE(m_form->ProfileIndex(), 2);
        QCOMPARE(m_form->cmbVideoBitrate->currentText(), QStringLiteral("1200"));
        QCOMPARE(m_form->cmbFrameRate->currentText(), QStringLiteral("29.97"));
        QVERIFY(m_form->custom_default->isChecked());
        // Another profile: its default values, and the task's IsCustom cleared.
        m_form->comProfile->setCurrentIndex(0);
        m_form->comProfileChange();
        QCOMPARE(m_form->ProfileIndex(), 0);
        QCOMPARE(m_task->settings->IsCustom, uint8_t(0));
        QCOMPARE(m_form->cmbVideoBitrate->currentText(), QStringLiteral("800"));
        QCOMPARE(m_form->cmbFrameRate->currentText(), QStringLiteral("25"));
        // A value list: "Custom" shown, the lists unchanged, the profile index kept.
        m_form->cmbVideoBitrate->setCurrentIndex(2);
        m_form->valueListChange();
        QCOMPARE(m_form->comProfile->currentText(), QStringLiteral("Custom"));
        QCOMPARE(m_form->cmbVideoBitrate->currentText(), QStringLiteral("1200"));
        QCOMPARE(CurrentCustomSettings().IssettingCustom, uint8_t(1));
        // OK writes the low profile with the chosen bit rate.
        m_form->btnOKClick();
        QVERIFY(!m_form->isVisible());
        QCOMPARE(QString(m_task->settings->ProfileName), QStringLiteral("low"));
        QCOMPARE(m_task->settings->VideoBitRate, 1200);
        QCOMPARE(m_task->settings->IssettingCustom, uint8_t(1));
        QCOMPARE(m_task->settings->IsCustom, uint8_t(1)); // "Save as default" was still ticked
    }

    void saveAsDefaultWritesTheStoreAndOnlyThen()
    {
        openWizard();
        m_form->custom_default->setChecked(false);
        m_form->btnOKClick();
        QCOMPARE(storeValue("ProfileName"), QStringLiteral("<no key>"));

        openWizard();
        m_form->width->setValue(480);
        m_form->height->setValue(360);
        m_form->custom_default->setChecked(true);
        m_form->btnOKClick();
        QCOMPARE(storeValue("ProfileName"), QStringLiteral("normal"));
        QCOMPARE(storeValue("Width"), QStringLiteral("480"));
        QCOMPARE(storeValue("IsCustom"), QStringLiteral("1"));
        // What was saved loads back as the defaults.
        ResetProcessSettings();
        QCOMPARE(LoadCustomSettings(), CustomLoadResult::Loaded);
        QCOMPARE(CurrentCustomSettings().Height, 360);
    }

    void closeLeavesTheTaskUnchanged()
    {
        SetText(m_task->settings->PlayerSkinPath, "None");
        CustomSettings before;
        CopyCustomSettings(before, *m_task->settings);
        openWizard();
        m_form->width->setValue(640);
        m_form->cus_thumb->setChecked(false);
        m_form->btnNextClick();
        m_form->btnNextClick();
        QCOMPARE(m_form->Page(), 3);
        m_form->btn_Click(wz::kEffectGallery, "Fade");
        m_form->hideAll->setChecked(true);
        m_form->WritePlayerChecks();
        m_form->closeClick();
        QVERIFY(!m_form->isVisible());
        QVERIFY(std::memcmp(&before, m_task->settings.get(), sizeof before) == 0);
        // The current settings keep what the player page changed.
        QCOMPARE(QString(CurrentCustomSettings().EffectSkinPath), QStringLiteral("Fade"));
    }

    void galleriesSelectAndMark()
    {
        // The player gallery: "None" first, one tile per thumbnail, "More" last; the default skin framed.
        ImageButton* none = m_form->FindTile(wz::kPlayerGallery, "None");
        ImageButton* more = m_form->FindTile(wz::kPlayerGallery, "PlayerMore");
        QVERIFY(none && more);
        QCOMPARE(none->geometry(), QRect(12, 5, 276, 44));
        const int templates = wz::GalleryTemplates(m_program + "templates/Players/").size();
        QVERIFY(templates > 0);
        QCOMPARE(more->geometry().top(), 60 * (templates + 1) + 5);
        QVERIFY(!m_form->FindFrame(wz::kPlayerGallery, "PlayerMore"));
        openWizard();
        QWidget* playerContent = m_form->PlayerScrollBox->widget();
        QVERIFY(m_form->FindFrame(wz::kPlayerGallery, "Christmas_h40")->isVisibleTo(playerContent));
        QVERIFY(!m_form->FindFrame(wz::kPlayerGallery, "None")->isVisibleTo(playerContent));

        // Clicking tiles: the field follows, one frame shows, the preview is asked for each time.
        const int before = m_form->RefreshCount();
        m_form->FindTile(wz::kEffectGallery, "Fade")->click();
        QCOMPARE(QString(CurrentCustomSettings().EffectSkinPath), QStringLiteral("Fade"));
        m_form->FindTile(wz::kEffectGallery, "Fade")->click();
        QVERIFY(m_form->FindFrame(wz::kEffectGallery, "Fade")->isVisibleTo(m_form->EffectScrollBox->widget()));
        QVERIFY(!m_form->FindFrame(wz::kEffectGallery, "None")->isVisibleTo(m_form->EffectScrollBox->widget()));
        QCOMPARE(m_form->RefreshCount(), before + 2);
        // The wheel moves a gallery 5 pixels per event, whatever the distance.
        m_form->OpenTab(0);
        QScrollBar* bar = m_form->PlayerScrollBox->verticalScrollBar();
        QVERIFY(bar->maximum() > 10);
        bar->setValue(0);
        for (int delta : {-120, -360, 120}) {
            QWheelEvent wheel(QPointF(20, 20), m_form->PlayerScrollBox->viewport()->mapToGlobal(QPointF(20, 20)),
                              QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(m_form->PlayerScrollBox->viewport(), &wheel);
        }
        QCOMPARE(bar->value(), 5);
        m_form->FindTile(wz::kLoadGallery, "Ring")->click();
        m_form->FindTile(wz::kPlayerGallery, "None")->click();
        // "More" opens its page and changes nothing.
        m_form->FindTile(wz::kEffectGallery, "EffectMore")->click();
        QCOMPARE(m_urls.urls.size(), 1);
        QCOMPARE(QString(CurrentCustomSettings().EffectSkinPath), QStringLiteral("Fade"));
        QVERIFY(m_form->FindFrame(wz::kEffectGallery, "Fade")->isVisibleTo(m_form->EffectScrollBox->widget()));
        m_form->btnOKClick();
        QCOMPARE(QString(m_task->settings->EffectSkinPath), QStringLiteral("Fade"));
        QCOMPARE(QString(m_task->settings->PreloaderSkinPath), QStringLiteral("Ring"));
        QCOMPARE(QString(m_task->settings->PlayerSkinPath), QStringLiteral("None"));
    }

    void outputKindsAndPages()
    {
        openWizard();
        QCOMPARE(m_form->Page(), 1);
        QVERIFY(!m_form->btnBack->isEnabled());
        QVERIFY(!m_form->cus_flv->isVisibleTo(m_form.get()));
        m_form->btnNextClick();
        QCOMPARE(m_form->Page(), 2);
        // Unticking "Generate SWF": HTML unticked and disabled, Next disabled; back again restores it.
        m_form->cus_swf->click();
        QVERIFY(!m_form->cus_html->isChecked());
        QVERIFY(!m_form->cus_html->isEnabled());
        QVERIFY(!m_form->btnNext->isEnabled());
        m_form->btnNextClick();
        QCOMPARE(m_form->Page(), 2);
        m_form->cus_swf->click();
        QVERIFY(m_form->cus_html->isChecked());
        QVERIFY(m_form->btnNext->isEnabled());
        // Embedded type: the credit tabs instead of the preloader.
        m_form->swfType_1->click();
        m_form->btnNextClick();
        QCOMPARE(m_form->Page(), 3);
        QVERIFY(m_form->btnHead->isVisibleTo(m_form.get()));
        QVERIFY(!m_form->btnLoad->isVisibleTo(m_form.get()));
        QCOMPARE(m_form->OpenedTab(), 0);
        QVERIFY(m_form->tabPlayerPanel->isVisibleTo(m_form.get()));
        m_form->btnHead->click();
        QVERIFY(m_form->tabHeadPanel->isVisibleTo(m_form.get()));
        QVERIFY(!m_form->tabPlayerPanel->isVisibleTo(m_form.get()));
        QCOMPARE(CurrentCustomSettings().SwfType, 1);
        m_form->btnBackClick();
        m_form->swfType_2->click();
        m_form->btnNextClick();
        QVERIFY(!m_form->btnHead->isVisibleTo(m_form.get()));
        QVERIFY(m_form->btnLoad->isVisibleTo(m_form.get()));
        // The browser control is fitted to the output (400 x 300) inside the preview area.
        const QRect b = m_form->webBrowser->geometry();
        const wz::Rect fit = wz::FitPreview(400, 300, m_form->webPanel->width(), m_form->webPanel->height());
        QCOMPARE(b, QRect(fit.x, fit.y, fit.w, fit.h));
        m_form->btnOKClick();
        QCOMPARE(m_task->settings->SwfType, 2);
        QVERIFY(std::abs(m_task->settings->dscale_X - 400.0 / b.width()) < 1e-9);
    }

    void slideGroupKeepsProgressiveAndThumbnail()
    {
        newTask(kKindSlide);
        m_task->settings->SwfType = 1;
        openWizard();
        QVERIFY(!m_form->swfType_1->isEnabled());
        QVERIFY(m_form->swfType_2->isChecked());
        QCOMPARE(m_task->settings->SwfType, 2);
        m_form->cus_thumb->click();
        QVERIFY(m_form->cus_thumb->isChecked());
        m_form->closeClick();
        QCOMPARE(m_task->settings->SwfType, 2);
    }

    void proportionalSizes()
    {
        m_task->settings->Width = 640;
        m_task->settings->Height = 480;
        openWizard();
        m_form->proportional->setChecked(true);
        m_form->width->setValue(320);
        QCOMPARE(m_form->height->value(), 240);
        m_form->width->setValue(333);
        QCOMPARE(m_form->height->value(), 249);
        m_form->height->setValue(120);
        QCOMPARE(m_form->width->value(), 160);
        // An emptied width box makes the height 1.
        m_form->width->findChild<QLineEdit*>()->setText(QString());
        QCOMPARE(m_form->height->value(), 1);
        m_form->closeClick();
    }

    void minimumResolutionKeepsTheWizardOpen()
    {
        m_task->settings->Width = 320;
        m_task->settings->Height = 240;
        openWizard();
        m_form->btnNextClick();
        m_form->btnOKClick();
        QCOMPARE(m_messages, QStringList{QString::fromLatin1(wz::kResolutionMessage)});
        QVERIFY(m_form->isVisible());
        QCOMPARE(m_form->Page(), 1);
        QCOMPARE(m_task->settings->Width, 320);
        SetText(CurrentCustomSettings().PlayerSkinPath, "None");
        m_form->btnOKClick();
        QVERIFY(!m_form->isVisible());
        QCOMPARE(m_messages.size(), 1);
    }

    void playerOptionsAndHideAll()
    {
        openWizard();
        m_form->btnNextClick();
        m_form->btnNextClick();
        m_form->OpenTab(6);
        m_form->hideMute->setChecked(true);
        QTest::mouseClick(m_form->hideAll, Qt::LeftButton, {}, QPoint(8, 12));
        QTRY_COMPARE(CurrentCustomSettings().IsHideAll, 1); // written on the mouse release
        QCOMPARE(CurrentCustomSettings().IsHideMuteBtn, 1);
        for (QCheckBox* b : {m_form->hideMute, m_form->hideFullScreen, m_form->hideBN, m_form->hidePlaylist,
                             m_form->hidePlaybar, m_form->hideVol, m_form->hideTime, m_form->hideSlide})
            QVERIFY(!b->isEnabled());
        QVERIFY(m_form->hideMute->isChecked());
        m_form->OpenTab(0);
        m_form->autoPlay->setChecked(true); // keyboard-style change: no mouse-up; OK reads the box
        m_form->hideDealyValue->setValue(12);
        m_form->btnOKClick();
        const CustomSettings& t = *m_task->settings;
        QCOMPARE(t.IsHideAll, 1);
        QCOMPARE(t.IsHideMuteBtn, 1);
        QCOMPARE(t.IsAutoPlay, 1);
        QCOMPARE(t.hideDelay, 12);
    }

    void typedInputRegeneratesOnce()
    {
        m_task->settings->SwfType = 1;
        m_task->settings->IsCreditHead = 1;
        openWizard();
        m_form->btnNextClick();
        m_form->btnNextClick();
        m_form->OpenTab(4);
        m_form->head.memo->setFocus();
        const int before = m_form->RefreshCount();
        QTest::keyClicks(m_form->head.memo, "abc", {}, 30);
        QCOMPARE(m_form->RefreshCount(), before);
        // Once the typing pauses, one regeneration for the three keys.
        QTRY_COMPARE_WITH_TIMEOUT(m_form->RefreshCount(), before + 1, 15000);
        QCOMPARE(QString(CurrentCustomSettings().Head_textContent), QStringLiteral("abc"));
        m_form->closeClick();
    }

    void creditsFields()
    {
        m_task->settings->SwfType = 1;
        m_task->settings->Width = 640;
        m_task->settings->Height = 480;
        openWizard();
        m_form->btnNextClick();
        m_form->btnNextClick();
        m_form->btnHead->click();
        QVERIFY(!m_form->head.memo->isEnabled());
        m_form->head.addCredit->click();
        m_form->headAddCreditClick();
        QVERIFY(m_form->head.memo->isEnabled());
        const QString pic = makeJpeg("head.jpg");
        TfrmCustom::SetFileChooser([pic](const QString& filter) {
            return filter == QLatin1String("JPEG Image File (*.jpg)|*.jpg") ? " " + pic + "\n" : QString();
        });
        m_form->headimgOpenClick();
        QCOMPARE(QString(CurrentCustomSettings().Head_imagePath), pic);
        QVERIFY(m_form->sysTimer->isActive());
        TfrmCustom::SetFontChooser([](TfrmCustom::FontChoice& f) {
            f.face = "DejaVu Sans";
            f.size = 16;
            f.color = QColor(255, 0, 0);
            return true;
        });
        m_form->head.memo->setPlainText("Opening");
        const int before = m_form->RefreshCount();
        m_form->head_fontClick();
        QCOMPARE(m_form->RefreshCount(), before + 1);
        const CustomSettings& c = CurrentCustomSettings();
        QCOMPARE(QString(c.Head_fontType), QStringLiteral("DejaVu Sans"));
        QCOMPARE(c.Head_fontSize, 16);
        QCOMPARE(c.Head_fontColor, (RgbColor{255, 0, 0}));
        const wz::CreditPos p = wz::CreditTextPosition(16, m_form->MeasureText8pt("Opening"), 640, 480,
                                                       m_form->webBrowser->width());
        QCOMPARE(c.Head_fontX, p.x);
        QCOMPARE(c.Head_fontY, p.y);
        // A cancelled font dialog changes nothing but still regenerates.
        TfrmCustom::SetFontChooser([](TfrmCustom::FontChoice&) { return false; });
        m_form->head_fontClick();
        QCOMPARE(c.Head_fontSize, 16);
        QCOMPARE(m_form->RefreshCount(), before + 2);
        // The 250-character limit of the memo.
        m_form->head.memo->setPlainText(QString(300, QLatin1Char('x')));
        QCOMPARE(m_form->head.memo->toPlainText().size(), 250);
        m_form->head.memo->setPlainText("Opening");
        m_form->head.duration->setValue(7);
        m_form->btnOKClick();
        const CustomSettings& t = *m_task->settings;
        QCOMPARE(t.IsCreditHead, uint8_t(1));
        QCOMPARE(t.Head_duration, 7);
        QCOMPARE(QString(t.Head_imagePath), pic);
        QCOMPARE(QString(t.Head_textContent), QStringLiteral("Opening"));
        QCOMPARE(t.Head_fontSize, 16);
        QCOMPARE(t.Head_fontX, p.x);
        TfrmCustom::SetFileChooser({});
        TfrmCustom::SetFontChooser({});
    }

    void unknownProfileKeepsTheTasksOwnValues_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("a retired profile") << QStringLiteral("retired");
        QTest::newRow("no profile name") << QString();
    }
    void unknownProfileKeepsTheTasksOwnValues()
    {
        QFETCH(QString, name);
        CustomSettings& t = *m_task->settings;
        SetText(t.ProfileName, name);
        SetText(t.VideoEncoder, "h264");
        t.VideoBitRate = 999;
        t.FrameRate = 12;
        SetText(t.AudioEncoder, "aac");
        t.AudioBitrate = 96;
        t.SimpleRate = 32000;
        t.Channel = 1;
        openWizard();
        QCOMPARE(m_form->cmbVideoEncoder->currentText(), QStringLiteral("h264"));
        QCOMPARE(m_form->cmbVideoBitrate->currentText(), QStringLiteral("999"));
        QCOMPARE(m_form->cmbFrameRate->currentText(), QStringLiteral("12"));
        QCOMPARE(m_form->cmbAudioEncoder->currentText(), QStringLiteral("aac"));
        QCOMPARE(m_form->cmbAudioBitrate->currentText(), QStringLiteral("96"));
        QCOMPARE(m_form->cmbSampleRate->currentText(), QStringLiteral("32000"));
        QCOMPARE(m_form->cmbAudioChannel->currentText(), QStringLiteral("1"));
        m_form->btnOKClick();
        QCOMPARE(QString(t.ProfileName), name);
        QCOMPARE(QString(t.VideoEncoder), QStringLiteral("h264"));
        QCOMPARE(t.VideoBitRate, 999);
        QCOMPARE(t.FrameRate, 12.0f);
        QCOMPARE(QString(t.AudioEncoder), QStringLiteral("aac"));
        QCOMPARE(t.AudioBitrate, 96);
        QCOMPARE(t.SimpleRate, 32000);
        QCOMPARE(t.Channel, 1);

        // Picking a profile is a choice: its values go to the task.
        openWizard();
        m_form->comProfile->setCurrentIndex(2);
        m_form->comProfileChange();
        m_form->btnOKClick();
        QCOMPARE(QString(t.ProfileName), QStringLiteral("high"));
        QCOMPARE(QString(t.VideoEncoder), QStringLiteral("flv1"));
        QCOMPARE(t.VideoBitRate, 800);
        QCOMPARE(t.SimpleRate, 44100);
    }

    void fontDialogOffersWhatIsStored()
    {
        wizard_ui::CreditFontDialog dialog(TfrmCustom::FontChoice{QStringLiteral("DejaVu Sans"), 14, QColor(255, 220, 0)});
        // Face, size and colour; no styles or effects that would be dropped.
        QVERIFY(dialog.findChildren<QCheckBox*>().isEmpty());
        QCOMPARE(dialog.face->currentText(), QStringLiteral("DejaVu Sans"));
        QCOMPARE(dialog.size->value(), 14);
        dialog.size->setValue(22);
        // The colour dialog says what it is for.
        QString caption;
        QTimer::singleShot(0, [&] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* cd = qobject_cast<QColorDialog*>(w); cd && cd->isVisible()) {
                    caption = cd->windowTitle();
                    cd->setCurrentColor(QColor(0, 128, 255));
                    cd->accept();
                }
        });
        dialog.color->click();
        QCOMPARE(caption, QStringLiteral("Credit text colour"));
        const TfrmCustom::FontChoice f = dialog.Choice();
        QCOMPARE(f.face, QStringLiteral("DejaVu Sans"));
        QCOMPARE(f.size, 22);
        QCOMPARE(f.color, QColor(0, 128, 255));
    }

    void previewPlayerIsGenerated()
    {
        TfrmCustom::SetPreviewEnabled(true);
        QDir(m_program + "temp").removeRecursively();
        SetText(m_task->settings->PlayerSkinPath, "Classic_h32");
        m_task->settings->SwfType = 2;  // the progressive player also takes copies of the samples
        openWizard();
        m_form->btnNextClick();
        m_form->btnNextClick();
        TfrmCustom::SetPreviewEnabled(false);
        // The preview is this instance's own, outside the (possibly shared, read-only) program
        // folder.
        const QString folder = m_form->PreviewFolder();
        QVERIFY(!folder.isEmpty());
        QVERIFY2(!QFileInfo(folder).canonicalFilePath().startsWith(QFileInfo(m_program).canonicalFilePath()),
                 qPrintable(folder));
        QVERIFY(!QFileInfo::exists(m_program + "temp"));
        QFile swf(folder + "orvane.swf");
        QVERIFY(swf.open(QIODevice::ReadOnly));
        const QByteArray head = swf.read(3);
        QVERIFY(head == "FWS" || head == "CWS");
        QVERIFY(QFileInfo(folder + "orvanesample.flv").size() > 0);
        QCOMPARE(QFileInfo(folder).permissions() & (QFile::ReadOther | QFile::WriteOther), QFileDevice::Permissions());
        m_form->closeClick();
        // A second running wizard has a folder of its own; it goes when the wizard goes. A
        // folder left by an instance that no longer runs is tidied away then; that of a running
        // one is not.
        const QString base = QFileInfo(QDir::cleanPath(folder)).path();
        QProcess gone;
        gone.start(QStringLiteral("true"));
        QVERIFY(gone.waitForFinished());
        const QString stale = base + QStringLiteral("/reelmaker-preview-%1-abcdef").arg(gone.processId() ? gone.processId() : 999999);
        const QString alive = base + QStringLiteral("/reelmaker-preview-%1-abcdef").arg(QCoreApplication::applicationPid());
        QVERIFY(QDir().mkpath(stale));
        QVERIFY(QDir().mkpath(alive));
        QString second;
        {
            TfrmCustom other;
            second = other.PreviewFolder();
            QVERIFY(!second.isEmpty());
            QVERIFY(second != folder);
            QVERIFY(QFileInfo(second).isDir());
            QVERIFY(!QFileInfo::exists(stale));
            QVERIFY(QFileInfo::exists(alive));
        }
        QVERIFY(!QFileInfo::exists(second));
        QDir(alive).removeRecursively();
    }

    // "Auto play" plays the preview by itself: two looks at the preview a second apart differ,
    // without any click. Needs a display and the web view (xvfb-run ... -platform xcb).
    void autoPlayPreviewPlaysByItself()
    {
        if (QGuiApplication::platformName() == QLatin1String("offscreen") || qEnvironmentVariableIsSet("RM_NO_WEBVIEW"))
            QSKIP("the preview's web view needs a display");
        TfrmCustom::SetPreviewEnabled(true);
        m_task->settings->Width = 320;
        m_task->settings->Height = 240;
        m_task->settings->SwfType = 2;
        m_task->settings->IsAutoPlay = 0;
        SetText(m_task->settings->PlayerSkinPath, "Classic_h32");
        openWizard();
        m_form->btnNextClick();
        m_form->btnNextClick();
        QTest::qWait(3000);
        // The user ticks "Auto play" on the Player tab.
        QTest::mouseClick(m_form->autoPlay, Qt::LeftButton, {}, QPoint(8, m_form->autoPlay->height() / 2));
        QTRY_COMPARE(CurrentCustomSettings().IsAutoPlay, 1);
        QVERIFY(!m_form->PreviewUrl().isEmpty());
        // Meanwhile another user of the machine asks the preview's server for the preview's own
        // address and for what it guesses of the program folder, and stalls 32 connections.
        const QUrl address(m_form->PreviewUrl());
        QVERIFY(address.path().startsWith(QLatin1String("/t/")));
        const QByteArray own = address.path(QUrl::FullyEncoded).toLatin1();
        const QByteArray base = own.left(own.lastIndexOf('/') + 1);
        QList<QByteArray> requests;
        for (const QByteArray& path : {own, base + "orvane.swf", base + "ruffle/ruffle.js", base + "orvanesample.flv",
                                       base + "../", QByteArray("/temp/orvane.html"), QByteArray("/ruffle/ruffle.js"),
                                       QByteArray("/profile/"), QByteArray("/templates/orvanesample.flv"), QByteArray("/")})
            requests << "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(address.port()) + "\r\n\r\n";
        rmtest::ForeignClient nobody;
        const bool probing = rmtest::ForeignClient::Available();
        if (probing) {
            QVERIFY(nobody.Start(quint16(address.port()), requests, 32));
            QVERIFY(QTest::qWaitFor([&] { nobody.Poll(); return nobody.Failed() || (nobody.AllAnswered() && nobody.Stalling()); }, 30000));
            QVERIFY(!nobody.Failed());
            const QList<QByteArray> codes = nobody.Codes();
            QCOMPARE(codes.size(), requests.size());
            for (int i = 0; i < codes.size(); ++i)
                QVERIFY2(codes[i] == "404", (codes[i] + " for " + requests[i].left(requests[i].indexOf('\r'))).constData());
        }
        const QRect r(m_form->webBrowser->mapToGlobal(QPoint(0, 0)), m_form->webBrowser->size());
        auto look = [&] {
            return QGuiApplication::primaryScreen()->grabWindow(0, r.x(), r.y(), r.width(), r.height()).toImage();
        };
        // Ruffle loads its WebAssembly first; then the sample plays.
        QElapsedTimer t;
        t.start();
        bool moving = false;
        QImage before = look();
        while (!moving && t.elapsed() < 30000) {
            QTest::qWait(1000);
            const QImage now = look();
            // the emulator's splash and a page being replaced change by themselves
            moving = now != before && t.elapsed() > 3000 && !rmtest::ShowsLoadingOnly(now) && !rmtest::ShowsLoadingOnly(before);
            before = now;
        }
        if (const QString out = qEnvironmentVariable("RM_WIZARD_SCREENS"); !out.isEmpty())
            before.save(out + "/wizard_autoplay.png");
        TfrmCustom::SetPreviewEnabled(false);
        m_form->closeClick();
        QVERIFY2(moving, "the preview did not play by itself");
    }

    // Looking at disabled controls in both themes, with the application's own look: run on a
    // display (xvfb-run ... -platform xcb) with RM_WIZARD_SCREENS=<folder>.
    void disabledControlsScreens()
    {
        const QString out = qEnvironmentVariable("RM_WIZARD_SCREENS");
        if (out.isEmpty() || QGuiApplication::platformName() == QLatin1String("offscreen"))
            QSKIP("set RM_WIZARD_SCREENS and run on a display to take screenshots");
        ApplyAppStyle(*qApp);
        for (const QString theme : {QStringLiteral("DefaultImage"), QStringLiteral("Sunset")}) {
            QVERIFY(SkinTheme::Current().Load(m_program + "Images/" + theme + ".xml"));
            m_form->ApplySkin();
            newTask();
            m_task->settings->SwfType = 1;
            m_task->settings->IsCreditHead = 0;
            m_task->settings->IsDecorate = 0;
            m_task->settings->IsHideAll = 1;
            openWizard();
            auto shot = [&](const QString& name) {
                QTest::qWait(300);
                QProcess::execute(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"),
                                                             out + "/disabled_" + theme + "_" + name + ".png"});
            };
            m_form->btnNextClick();
            m_form->cus_swf->click();  // SWF off: the player choices and HTML are disabled
            shot("page2");
            m_form->cus_swf->click();
            m_form->btnNextClick();
            m_form->btnHead->click();
            shot("head");
            m_form->btnDecorate->click();
            shot("decorate");
            m_form->btnOption->click();
            shot("option");
            m_form->closeClick();
        }
        qApp->setStyleSheet(QString());
        QVERIFY(SkinTheme::Current().Load(m_program + "Images/DefaultImage.xml"));
        m_form->ApplySkin();
    }

    // Looking at the wizard: run on a real display (xvfb-run ... -platform xcb) with
    // RM_WIZARD_SCREENS=<folder>; each page and tab is shown with the live preview and the whole
    // screen is saved with imagemagick's import.
    void screens()
    {
        const QString out = qEnvironmentVariable("RM_WIZARD_SCREENS");
        if (out.isEmpty() || QGuiApplication::platformName() == QLatin1String("offscreen"))
            QSKIP("set RM_WIZARD_SCREENS and run on a display to take screenshots");
        QDir().mkpath(out);
        auto shot = [&](const QString& name, int waitMs) {
            QTest::qWait(waitMs);
            QProcess::execute(QStringLiteral("import"),
                              {QStringLiteral("-window"), QStringLiteral("root"), out + "/wizard_" + name + ".png"});
        };
        TfrmCustom::SetPreviewEnabled(true);
        m_task->settings->Width = 480;
        m_task->settings->Height = 360;
        m_task->settings->SwfType = 1;
        m_task->settings->IsDecorate = 1;
        m_task->settings->FileType = 2;
        SetText(m_task->settings->Dec_textContent, "Reelmaker");
        SetText(m_task->settings->Dec_fontType, "DejaVu Sans");
        m_task->settings->Dec_fontSize = 14;
        m_task->settings->Dec_fontColor = RgbColor{255, 220, 0};
        m_task->settings->Dec_text_X = 40;
        m_task->settings->Dec_text_Y = 60;
        m_task->settings->Dec_text_Width = 120;
        m_task->settings->Dec_text_Height = 28;
        m_task->settings->IsCreditHead = 1;
        SetText(m_task->settings->Head_textContent, "Opening titles");
        openWizard();
        shot("page1", 500);
        m_form->btnNextClick();
        shot("page2", 300);
        m_form->btnNextClick();
        shot("page3_player", 9000);
        m_form->autoPlay->setChecked(true);
        m_form->WritePlayerChecks();
        shot("page3_playing", 7000);
        m_form->btnEffect->click();
        shot("page3_effect", 500);
        m_form->btnDecorate->click();
        shot("page3_decorate", 500);
        m_form->btnHead->click();
        shot("page3_head", 500);
        m_form->btnOption->click();
        shot("page3_option", 500);
        m_form->btnBackClick();
        m_form->swfType_2->click();
        m_form->btnNextClick();
        m_form->btnLoad->click();
        shot("page3_preloader", 6000);
        TfrmCustom::SetPreviewEnabled(false);
        m_form->closeClick();
    }
};

QTEST_MAIN(CustomWizardTest)
#include "custom_wizard_test.moc"
