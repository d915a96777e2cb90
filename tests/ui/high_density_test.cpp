// High-density screens: run with a device pixel ratio above 1 (QT_SCALE_FACTOR, 2 unless the
// environment says otherwise; CTest runs it at 2 and at 1.5). The themes' pictures come from their
// 2x companions and paint at the elements' sizes, pixel for pixel at 2x, in both themes; every
// picture the build draws has its companion; the preview engine renders the video and its idle
// picture at the panel's device pixels.
#include "engines/playback/playback_engine.h"
#include "model/app_settings.h"
#include "model/registry_key.h"
#include "model/skin_theme.h"
#include "support/media_fixture.h"
#include "ui/window_test_store.h"
#include "ui/app/app_windows.h"
#include "ui/app/main_form.h"
#include "ui/app/message_boxes.h"
#include "ui/custom/custom_form.h"
#include "ui/custom/wizard_logic.h"
#include "ui/preview/preview_surface.h"
#include "ui/toolkit/image_button.h"
#include "ui/toolkit/skin_ops.h"
#include "ui/toolkit/skin_panel.h"
#include "ui/toolkit/skin_track_bar.h"

#include <QApplication>
#include <QDirIterator>
#include <QImageReader>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

using namespace rm::ui;
namespace pb = rm::playback;

class HighDensityTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QStringList m_chosen;

    static qreal ratio() { return qApp->devicePixelRatio(); }

    static QImage rgb(const QImage& i) { return i.convertToFormat(QImage::Format_RGB32); }

    // What a widget paints, in device pixels.
    static QImage painted(QWidget* w) { return rgb(w->grab().toImage()); }

private slots:
    void initTestCase()
    {
        QVERIFY2(ratio() > 1.0, "run with QT_SCALE_FACTOR above 1");
        QVERIFY(rmtest::UseWindowTestStore(m_dir, m_dir.filePath("out") + "/"));
        SetBoxAnswerer([](const BoxRequest&) { return true; });
        TfrmMain::SetFilesChooser([this](QWidget*) { return m_chosen; });
        TfrmMain::SetModalRunner([](QDialog*) { return int(QDialog::Accepted); });
        CreateAppWindows();
        frmMain->show();
        QVERIFY(QTest::qWaitForWindowExposed(frmMain));
    }

    void cleanupTestCase()
    {
        pb::stopPlay(1);
        pb::close_sdl();
        DestroyAppWindows();
        SetBoxAnswerer({});
        TfrmMain::SetFilesChooser({});
        TfrmMain::SetModalRunner({});
        rm::SetProgramFolder({});
        rm::RegistryKey::SetStoreFile({});
    }

    // The build draws every theme and gallery picture twice; a picture without its companion
    // would be the one blurred control on a sharp window.
    void everyPictureHasATwiceAsLargeCompanion_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<int>("atLeast");
        QTest::newRow("themes") << QStringLiteral(RM_APP_DIR "/Images") << 300; // two themes, nine windows
        QTest::newRow("galleries") << QStringLiteral(RM_APP_DIR "/templates") << 12;
    }

    void everyPictureHasATwiceAsLargeCompanion()
    {
        QFETCH(QString, folder);
        QFETCH(int, atLeast);
        int pictures = 0;
        QDirIterator it(folder, {QStringLiteral("*.bmp")}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString bmp = it.next();
            const QString companion = rm::PictureForPixelRatio(bmp, 2.0);
            QVERIFY2(companion != bmp, qPrintable(bmp));
            const QSize one = QImageReader(bmp).size(), two = QImageReader(companion).size();
            QVERIFY2(one.isValid() && two == one * 2, qPrintable(companion));
            ++pictures;
        }
        QVERIFY(pictures >= atLeast);
    }

    void mainWindowPaintsTheHighDensityPictures_data()
    {
        QTest::addColumn<QString>("theme");
        QTest::newRow("Orvane Blue") << QStringLiteral(RM_APP_DIR "/Images/DefaultImage.xml");
        QTest::newRow("Sunset") << QStringLiteral(RM_APP_DIR "/Images/Sunset.xml");
    }

    void mainWindowPaintsTheHighDensityPictures()
    {
        QFETCH(QString, theme);
        QVERIFY(ChangeTheme(theme));
        const bool exact = std::abs(ratio() - 2.0) < 1e-9;

        int buttons = 0;
        for (ImageButton* b : frmMain->findChildren<ImageButton*>()) {
            if (!b->isVisible() || b->NormalPicture().isNull())
                continue;
            const QPixmap pic = b->NormalPicture();
            QCOMPARE(pic.devicePixelRatio(), 2.0);
            QCOMPARE(pic.deviceIndependentSize().toSize(), b->size());
            // Enabled buttons show the companion of their normal picture, disabled ones of "-dis".
            const QString element = b->property("skinElement").toString();
            if (!element.isEmpty()) {
                const QString image = frmMain->Element(element).imageName;
                const int state = b->isEnabled() ? rm::PictureNormal : rm::PictureDisabled;
                const QImage file(rm::PictureForPixelRatio(frmMain->PicturePath(image, state), 2.0));
                QVERIFY2(rgb(pic.toImage()) == rgb(file), qPrintable(element));
            }
            const QImage shown = painted(b);
            QCOMPARE(shown.size(), (QSizeF(b->size()) * ratio()).toSize());
            // At exactly 2x the painted button is its picture (of the slot it shows), pixel for pixel.
            const QPixmap slot = b->PaintedSlot() == 1 ? b->HoverPicture()
                                 : b->PaintedSlot() == 2 ? b->PressedPicture()
                                                         : pic;
            if (exact)
                QVERIFY2(shown == rgb(slot.toImage()), qPrintable(b->objectName()));
            ++buttons;
        }
        QVERIFY(buttons >= 15);

        for (SkinPanel* panel : frmMain->findChildren<SkinPanel*>()) {
            if (panel->Picture().isNull())
                continue;
            QCOMPARE(panel->Picture().devicePixelRatio(), 2.0);
            QCOMPARE(panel->Picture().deviceIndependentSize().toSize(), panel->size());
        }
        // The track bar's knob keeps its size on screen: the same as its 1x picture.
        SkinTrackBar* bar = frmMain->MainTrackBar;
        const QString knob = frmMain->PicturePath(frmMain->Element(QStringLiteral("MainTrackBar")).imageName,
                                                  rm::PictureNormal);
        QCOMPARE(bar->SliderPicture().devicePixelRatio(), 2.0);
        QCOMPARE(bar->SliderPicture().deviceIndependentSize().toSize(), QImageReader(knob).size());
    }

    // The wizard's template galleries: every tile shows its gallery picture's companion.
    void wizardGalleryTilesUseTheHighDensityPictures()
    {
        int tiles = 0;
        for (ImageButton* tile : frmCustom->findChildren<ImageButton*>()) {
            if (!tile->property("galleryType").isValid())
                continue;
            QCOMPARE(tile->NormalPicture().devicePixelRatio(), 2.0);
            QCOMPARE(tile->NormalPicture().deviceIndependentSize().toSize(), tile->size());
            ++tiles;
        }
        QVERIFY(tiles >= 12);
        const int type = rm::wizard::kPlayerGallery;
        QVERIFY(frmCustom->FindTile(type, QStringLiteral("None")));
    }

    // A source larger than the panel is rendered at the panel's device pixels, not at its
    // logical size and then enlarged by the screen.
    void previewRendersAtThePanelsDevicePixels()
    {
        QVERIFY(ChangeTheme(QStringLiteral(RM_APP_DIR "/Images/DefaultImage.xml")));
        rmtest::FixtureSpec spec;
        spec.width = 1280;
        spec.height = 720;
        spec.seconds = 1.0;
        m_chosen = {QString::fromStdString(rmtest::Fixture("hidpi_720p.mp4", spec))};
        frmMain->addFileClick();
        frmMain->btnPlay->click();
        PreviewSurface* surface = PreviewSurface::Instance();
        QTRY_VERIFY_WITH_TIMEOUT(surface->CurrentFrame() && !surface->CurrentFrame()->idle &&
                                     surface->CurrentFrame()->output,
                                 5000);
        const QSize panel = frmMain->PreviewSize();
        const QSize pixels = PreviewPixelSize(frmMain->MainPlayPanel, panel);
        QCOMPARE(pixels, (QSizeF(panel) * ratio()).toSize());
        const pb::PicturePtr out = surface->CurrentFrame()->output;
        // 16:9 into the panel: as wide as the panel's device pixels allow.
        QVERIFY2(std::abs(out->width - pixels.width()) <= 1, qPrintable(QString::number(out->width)));
        QVERIFY(out->width > panel.width());

        // Stopped, the idle picture is the high-density one (1280 x 960, not the 640 x 480 one,
        // which a 2x panel would enlarge).
        frmMain->btnStop->click();
        QTRY_VERIFY_WITH_TIMEOUT(surface->CurrentFrame() && surface->CurrentFrame()->idle, 5000);
        const pb::PicturePtr idle = surface->CurrentFrame()->output;
        QVERIFY(idle);
        QCOMPARE(QSize(idle->width, idle->height), QSize(1280, 960));
    }
};

int main(int argc, char** argv)
{
    // The scale applies to the whole application, so it is set before the application exists.
    if (qEnvironmentVariableIsEmpty("QT_SCALE_FACTOR"))
        qputenv("QT_SCALE_FACTOR", "2");
    QApplication app(argc, argv);
    HighDensityTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "high_density_test.moc"
