// The customisation wizard's rules that need no window: preview fitting, proportional sizes,
// credit placement, overlay dragging and resizing, gallery geometry and templates, link and
// resolution checks.
#include "model/custom_settings.h"
#include "model/media_item.h"
#include "ui/custom/wizard_logic.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cstdlib>

using namespace rm;
namespace wz = rm::wizard;

class WizardRulesTest : public QObject {
    Q_OBJECT

private slots:
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
        QCOMPARE(wz::OverlayEdge(1, 1, 50, 40), wz::kCornerTopLeft);
        QCOMPARE(wz::OverlayEdge(49, 39, 50, 40), wz::kCornerBottomRight);
        QCOMPARE(wz::OverlayEdge(48, 0, 50, 40), wz::kCornerTopRight);
        QCOMPARE(wz::OverlayEdge(0, 38, 50, 40), wz::kCornerBottomLeft);
        // Dragging left beyond the preview puts the overlay 5 pixels inside.
        const wz::Rect browser{18, 18, 320, 240};
        QCOMPARE(wz::MoveOverlay({20, 50, 40, 30}, -10, 0, browser).x, 23);
        QCOMPARE(wz::MoveOverlay({300, 50, 40, 30}, 10, 0, browser).x, 18 + 320 - 40 - 5);
        QCOMPARE(wz::MoveOverlay({100, 100, 40, 30}, 4, -3, browser), (wz::Rect{104, 97, 40, 30}));
        // Resizing from the right never passes the preview's width minus the left.
        wz::Rect o{200, 50, 100, 40};
        for (int x : {150, 250, 400})
            o = wz::ResizeOverlay(o, 4, x, 10, browser);
        QVERIFY(o.x + o.w <= browser.x + browser.w);
        QCOMPARE(wz::ResizeOverlay({200, 50, 100, 40}, 4, 120, 10, browser).w, 120);
        QCOMPARE(wz::ResizeOverlay({200, 50, 10, 40}, 4, 5, 10, browser).w, 10); // not below 10
        QCOMPARE(wz::ResizeOverlay({200, 50, 100, 40}, 1, -5, -5, browser), (wz::Rect{200, 45, 100, 45}));
        // By the left or the top edge it stops at the video's edge, however far the pointer goes
        // (the rectangle is stored relative to the video, never at a negative place), and 10
        // short of the opposite edge.
        QCOMPARE(wz::ResizeOverlay({30, 40, 100, 40}, 3, -45, 10, browser), (wz::Rect{18, 40, 112, 40}));
        QCOMPARE(wz::ResizeOverlay({30, 40, 100, 40}, 1, 10, -45, browser), (wz::Rect{30, 18, 100, 62}));
        QCOMPARE(wz::ResizeOverlay({30, 40, 100, 40}, 3, 200, 10, browser), (wz::Rect{120, 40, 10, 40}));
        QCOMPARE(wz::ResizeOverlay({30, 40, 100, 40}, 1, 10, 200, browser), (wz::Rect{30, 70, 100, 10}));
        // A corner keeps the shape it is given (the side that moved more leads), from the corner
        // opposite; without a shape both sides follow the pointer; the video's edges stop both.
        const wz::Rect logo{38, 48, 100, 50};  // 20, 30 on the video
        QCOMPARE(wz::ResizeOverlay(logo, wz::kCornerBottomRight, 140, 60, browser, 2.0), (wz::Rect{38, 48, 140, 70}));
        QCOMPARE(wz::ResizeOverlay(logo, wz::kCornerBottomRight, 140, 60, browser), (wz::Rect{38, 48, 140, 60}));
        QCOMPARE(wz::ResizeOverlay(logo, wz::kCornerTopLeft, -10, 0, browser, 2.0), (wz::Rect{28, 43, 110, 55}));
        const wz::Rect stopped = wz::ResizeOverlay(logo, wz::kCornerBottomRight, 900, 900, browser, 2.0);
        QVERIFY(stopped.x + stopped.w <= browser.x + browser.w && stopped.y + stopped.h <= browser.y + browser.h);
        QVERIFY(std::abs(stopped.w - 2 * stopped.h) <= 2);
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

};

QTEST_MAIN(WizardRulesTest)
#include "wizard_rules_test.moc"
