// The customisation wizard: its window-free rules (preview fitting, proportional sizes, credit
// placement, overlay dragging, gallery geometry, link and resolution checks) and the wizard
// itself offscreen: profile list and "Custom", output kinds, galleries, credits, decoration,
// OK / close / "Save as default", and the preview player it generates.
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

namespace {

void WriteProfile(const QString& dir, const char* file, const char* name, const char* display, const char* size,
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

} // namespace

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
        // A program folder of our own (the preview writes its temp folder there), with the built
        // themes and templates.
        m_program = m_dir.filePath("program") + "/";
        QDir().mkpath(m_program + "profile");
        QVERIFY(QFile::link(QStringLiteral(RM_APP_DIR "/Images"), m_program + "Images"));
        QVERIFY(QFile::link(QStringLiteral(RM_APP_DIR "/templates"), m_program + "templates"));
        // Ruffle is served to the preview, and the server serves only what really lies inside
        // the folder: a copy, not a link.
        QDir().mkpath(m_program + "ruffle");
        for (const QFileInfo& f : QDir(QStringLiteral(RM_APP_DIR "/ruffle")).entryInfoList(QDir::Files))
            QFile::copy(f.filePath(), m_program + "ruffle/" + f.fileName());
        WriteProfile(m_program + "profile", "a.xml", "low", "Low", "320x240", "25");
        WriteProfile(m_program + "profile", "b.xml", "normal", kStartupProfileDisplay, "400x300", "25");
        WriteProfile(m_program + "profile", "c.xml", "high", "High", "640x480", "29.97");
        SetProgramFolder(m_program);
        QCOMPARE(ReadProfileCatalogueFrom((m_program + "profile").toStdString()), 3);
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

    // ---------------------------------------------------------------- rules without windows

    void fitPreview_data()
    {
        QTest::addColumn<int>("W");
        QTest::addColumn<int>("H");
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("y");
        QTest::addColumn<int>("w");
        QTest::addColumn<int>("h");
        // preview area 356 x 276
        QTest::newRow("fits") << 320 << 240 << 18 << 18 << 320 << 240;
        QTest::newRow("both larger, wider") << 720 << 480 << 0 << 19 << 356 << 237;
        QTest::newRow("taller only") << 300 << 552 << 103 << 0 << 150 << 276;
        QTest::newRow("wider only") << 712 << 200 << 0 << 88 << 356 << 100;
        QTest::newRow("both larger, taller") << 400 << 552 << 78 << 0 << 200 << 276;
    }
    void fitPreview()
    {
        QFETCH(int, W);
        QFETCH(int, H);
        QFETCH(int, x);
        QFETCH(int, y);
        QFETCH(int, w);
        QFETCH(int, h);
        const wz::Rect r = wz::FitPreview(W, H, 356, 276);
        QCOMPARE(r.w, w);
        QCOMPARE(r.h, h);
        QCOMPARE(r.x, x);
        QCOMPARE(r.y, y);
    }

    void rulesWithoutWindows()
    {
        // Proportional, references 640 x 480.
        QCOMPARE(wz::ProportionalValue("320", 640, 480), 240);
        QCOMPARE(wz::ProportionalValue("333", 640, 480), 249);
        QCOMPARE(wz::ProportionalValue("", 640, 480), 1);
        // Credit text: size 16, 100 px at 8 points, output 640 wide, preview 320 (scale 2).
        const wz::CreditPos p = wz::CreditTextPosition(16, 100, 640, 480, 320);
        QCOMPARE(p.x, 120);
        QCOMPARE(p.y, (480 - 32) / 2);
        QCOMPARE(wz::CreditTextPosition(16, 0, 640, 480, 320).x, 0);
        // Edge zones of a 50 x 40 overlay.
        QCOMPARE(wz::OverlayEdge(1, 20, 50, 40), 3);
        QCOMPARE(wz::OverlayEdge(48, 20, 50, 40), 4);
        QCOMPARE(wz::OverlayEdge(20, 2, 50, 40), 1);
        QCOMPARE(wz::OverlayEdge(20, 39, 50, 40), 2);
        QCOMPARE(wz::OverlayEdge(20, 20, 50, 40), 0);
        QCOMPARE(wz::OverlayEdge(60, 20, 50, 40), 0);
        // Dragging left beyond the preview puts the overlay 5 pixels inside.
        const wz::Rect browser{18, 18, 320, 240};
        QCOMPARE(wz::MoveOverlay({20, 50, 40, 30}, -10, 0, browser).x, 23);
        QCOMPARE(wz::MoveOverlay({300, 50, 40, 30}, 10, 0, browser).x, 18 + 320 - 40 - 5);
        QCOMPARE(wz::MoveOverlay({100, 100, 40, 30}, 4, -3, browser), (wz::Rect{104, 97, 40, 30}));
        // Resizing from the right never passes the preview's width minus the left.
        wz::Rect o{200, 50, 100, 40};
        for (int x : {150, 250, 400})
            o = wz::ResizeOverlay(o, 4, x, 10, browser);
        QVERIFY(o.x + o.w <= browser.w);
        QCOMPARE(wz::ResizeOverlay({200, 50, 100, 40}, 4, 120, 10, browser).w, 120);
        QCOMPARE(wz::ResizeOverlay({200, 50, 10, 40}, 4, 5, 10, browser).w, 10); // not below 10
        QCOMPARE(wz::ResizeOverlay({200, 50, 100, 40}, 1, -5, -5, browser), (wz::Rect{200, 45, 100, 45}));
        // Gallery tiles: effects in three columns, player skins in one.
        const int lefts[] = {10, 110, 210, 10, 110, 210, 10};
        const int tops[] = {5, 5, 5, 87, 87, 87, 169};
        for (int n = 0; n < 7; ++n) {
            const wz::TileGeometry g = wz::GalleryTile(wz::kEffectGallery, n, n == 0);
            QCOMPARE(g.tile.x, lefts[n]);
            QCOMPARE(g.tile.y, tops[n]);
        }
        QCOMPARE(wz::GalleryTile(wz::kEffectGallery, 0, true).frame.x, 7);
        QCOMPARE(wz::GalleryTile(wz::kEffectGallery, 4, false).frame.x, 105);
        QCOMPARE(wz::GalleryTile(wz::kPlayerGallery, 1, false).tile, (wz::Rect{12, 65, 276, 44}));
        QCOMPARE(wz::GalleryTile(wz::kPlayerGallery, 1, false).frame, (wz::Rect{6, 60, 288, 54}));
    }

    void galleryTemplatesSkipTheirOwnPictures()
    {
        QTemporaryDir d;
        for (const char* f : {"None.bmp", "border.bmp", "PlayerMore.bmp", "EffectMore.bmp", "LoaderMore.bmp",
                              "Alpha.bmp", "Beta.v2.bmp", "Gamma.tpl", "none.bmp"}) {
            QFile file(d.filePath(f));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QDir().mkpath(d.filePath("Dir.bmp"));
        // Names up to the first "."; only the exact names are skipped ("none.bmp" is a template).
        QCOMPARE(wz::GalleryTemplates(d.path()), (QStringList{"Alpha", "Beta", "none"}));
        QVERIFY(wz::GalleryTemplates(d.filePath("missing")).isEmpty());
    }

    void linkAndResolution()
    {
        CustomSettings s;
        ResetCustomSettings(s);
        struct Case {
            const char* box;
            const char* stored;
            const char* link;
        } cases[] = {{"http://", "http://", ""},
                     {"www.example.com", "www.example.com", "http://www.example.com"},
                     {"http://example.com", "http://example.com", "http://example.com"},
                     {"https://example.com", "https://example.com", "https://example.com"},
                     {"", "", ""}};
        for (const Case& c : cases) {
            SetText(s.Dec_URL, c.stored);
            QCOMPARE(wz::FinishLink(QString::fromLatin1(c.box), s), QString::fromLatin1(c.link));
        }
        SetText(s.PlayerSkinPath, "Christmas_h40");
        QVERIFY(!wz::ResolutionAccepted(s, 320, 240));
        QVERIFY(!wz::ResolutionAccepted(s, 640, 254));
        QVERIFY(wz::ResolutionAccepted(s, 340, 255));
        SetText(s.PlayerSkinPath, "None");
        QVERIFY(wz::ResolutionAccepted(s, 320, 240));
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

    void decorationPictureAndText()
    {
        openWizard();
        m_form->btnNextClick();
        m_form->btnNextClick();
        m_form->OpenTab(3);
        QVERIFY(!m_form->imgPanel->isVisibleTo(m_form.get()));
        m_form->addCredits->click();
        QCOMPARE(CurrentCustomSettings().IsDecorate, uint8_t(1));
        m_form->img->click();
        QCOMPARE(CurrentCustomSettings().FileType, 1);
        QVERIFY(m_form->decoOpen->isEnabled());
        QVERIFY(!m_form->textValue->isEnabled());
        const QString pic = makeJpeg("deco.jpg");
        TfrmCustom::SetFileChooser([pic](const QString&) { return pic; });
        m_form->decoOpenClick();
        // No stored size: 100 x 100 at the browser's top-left corner.
        const QRect b = m_form->webBrowser->geometry();
        QCOMPARE(m_form->imgPanel->geometry(), QRect(b.topLeft(), QSize(100, 100)));
        const CustomSettings& c = CurrentCustomSettings();
        QCOMPARE(c.Dec_img_X, 0);  // held relative to the video
        QCOMPARE(c.Dec_img_Width, 100);
        // Drag it 30 right and 20 down by its body.
        QTest::mousePress(m_form->imgPanel, Qt::LeftButton, {}, QPoint(50, 50));
        QMouseEvent move(QEvent::MouseMove, QPointF(80, 70), m_form->imgPanel->mapToGlobal(QPointF(80, 70)),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(m_form->imgPanel, &move);
        QTest::mouseRelease(m_form->imgPanel, Qt::LeftButton, {}, QPoint(50, 50));
        QCOMPARE(c.Dec_img_X, 30);
        QCOMPARE(c.Dec_img_Y, 20);
        m_form->urlValue->setText("  www.example.com ");
        // Unticking hides the overlay and clears IsDecorate, FileType stays.
        m_form->addCredits->click();
        QVERIFY(!m_form->imgPanel->isVisibleTo(m_form.get()));
        QCOMPARE(c.IsDecorate, uint8_t(0));
        QCOMPARE(c.FileType, 1);
        m_form->addCredits->click();
        m_form->btnOKClick();
        const CustomSettings& t = *m_task->settings;
        QCOMPARE(QString(t.Dec_imagePath), pic);
        QCOMPARE(t.IsDecorate, uint8_t(1));
        QCOMPARE(t.Dec_X, 30);
        QCOMPARE(t.Dec_Width, 100);
        QCOMPARE(t.Dec_img_Y, 20);
        QCOMPARE(QString(t.Dec_URL), QStringLiteral("http://www.example.com"));

        // Text: the overlay takes the label's size.
        openWizard();
        m_form->btnNextClick();
        m_form->btnNextClick();
        m_form->text->click();
        QCOMPARE(CurrentCustomSettings().FileType, 2);
        m_form->textValue->setText("Hello");
        QCOMPARE(QString(c.Dec_textContent), QStringLiteral("Hello"));
        QCOMPARE(c.Dec_text_Width, m_form->Dec_text->width());
        QCOMPARE(m_form->imgPanel->size(), m_form->Dec_text->size());
        m_form->urlValue->setText("http://");
        m_form->btnOKClick();
        QCOMPARE(t.FileType, 2);
        QCOMPARE(QString(t.Dec_textContent), QStringLiteral("Hello"));
        QCOMPARE(t.Dec_text_Width, m_form->Dec_text->width());
        QCOMPARE(QString(t.Dec_URL), QString());
        TfrmCustom::SetFileChooser({});
    }

    void decorationLandsInTheOutputWhereItWasDropped()
    {
        m_task->settings->Width = 480;
        m_task->settings->Height = 360;
        openWizard();
        m_form->btnNextClick();
        m_form->btnNextClick();
        m_form->OpenTab(3);
        m_form->addCredits->click();
        m_form->img->click();
        const QString pic = makeJpeg("drop.jpg", 80, 40);
        TfrmCustom::SetFileChooser([pic](const QString&) { return pic; });
        m_form->decoOpenClick();
        TfrmCustom::SetFileChooser({});
        const QRect b = m_form->webBrowser->geometry();
        QVERIFY(b.x() > 0 || b.y() > 0);  // the video does not start at the panel's corner
        // The user drags the picture 40 pixels right and 98 down from the video's corner.
        QTest::mousePress(m_form->imgPanel, Qt::LeftButton, {}, QPoint(50, 50));
        QMouseEvent move(QEvent::MouseMove, QPointF(90, 148), m_form->imgPanel->mapToGlobal(QPointF(90, 148)),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(m_form->imgPanel, &move);
        QTest::mouseRelease(m_form->imgPanel, Qt::LeftButton, {}, QPoint(90, 148));
        QCOMPARE(m_form->imgPanel->geometry().topLeft() - b.topLeft(), QPoint(40, 98));
        m_form->btnOKClick();

        // The output player's decoration: the same place, scaled from the preview to the output.
        player_maker::FPMUIGroupOption* group = player_maker::createFPMUIGroupOption();
        FillDecoration(*m_task->settings, group, m_dir.filePath("job"), 10);
        const player_maker::FPMUIOverlayADOption& d = *group->Overlay;
        QCOMPARE(d.FileType, 1);
        QCOMPARE(d.X, int(40.0 * 480 / b.width()));
        QCOMPARE(d.Y, int(98.0 * 360 / b.height()));
        QCOMPARE(d.Width, int(100.0 * 480 / b.width()));
        player_maker::freeFPMUIGroupOption(&group);

        // Shown again for another output size: the picture stays at its place on the video.
        m_task->settings->Width = 320;
        m_task->settings->Height = 240;
        openWizard();
        const QRect b2 = m_form->webBrowser->geometry();
        QVERIFY(b2 != b);
        QCOMPARE(m_form->imgPanel->geometry().topLeft() - b2.topLeft(), QPoint(40, 98));
        m_form->closeClick();
    }

    void unknownProfileKeepsTheTasksOwnValues()
    {
        CustomSettings& t = *m_task->settings;
        SetText(t.ProfileName, "retired");
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
        QCOMPARE(QString(t.ProfileName), QStringLiteral("retired"));
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

    void missingDecorationPictureIsDroppedOnOpen()
    {
        const QString kept = makeJpeg("kept.jpg");
        struct Case {
            QString path;
            bool dropped;
        } cases[] = {{m_dir.filePath("gone.jpg"), true}, {kept, false}};
        for (const Case& c : cases) {
            newTask();
            SetText(m_task->settings->Dec_imagePath, c.path);
            m_task->settings->FileType = 1;
            m_task->settings->IsDecorate = 1;
            m_task->settings->Dec_img_X = 30;
            m_task->settings->Dec_img_Y = 40;
            m_task->settings->Dec_img_Width = 50;
            m_task->settings->Dec_img_Height = 60;
            openWizard();
            const CustomSettings& t = *m_task->settings;
            QCOMPARE(QString(t.Dec_imagePath), c.dropped ? QString() : c.path);
            QCOMPARE(t.Dec_img_Width, c.dropped ? 0 : 50);
            QCOMPARE(t.Dec_img_X, c.dropped ? 0 : 30);
            QCOMPARE(m_form->imgValue->text(), c.dropped ? QString() : c.path);
            if (!c.dropped)  // on the video, wherever the preview puts it
                QCOMPARE(m_form->imgPanel->geometry(),
                         QRect(m_form->webBrowser->geometry().topLeft() + QPoint(30, 40), QSize(50, 60)));
            m_form->closeClick();
        }
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
