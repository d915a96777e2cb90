// The preview surface painting the engine's panes at the panel's size, the crop frame dragged
// with the mouse, and the sound output's volume and its absence.

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QtTest>

#include <mutex>
#include <vector>

#include "engines/playback/playback_engine.h"
#include "support/media_fixture.h"
#include "support/source_fixtures.h"
#include "ui/preview/preview_audio.h"
#include "ui/preview/preview_surface.h"

namespace pb = rm::playback;

namespace {

std::mutex g_mu;
std::vector<pb::CropReport> g_crops;
int RecordCrop(pb::CropReport* r)
{
    std::lock_guard lock(g_mu);
    g_crops.push_back(*r);
    return 0;
}
pb::CropCallback g_cropHandle = &RecordCrop;
int CropCount()
{
    std::lock_guard lock(g_mu);
    return int(g_crops.size());
}

std::string Source()
{
    rmtest::FixtureSpec s;
    s.width = 160;
    s.height = 120;
    s.seconds = 2;
    s.audioCodec = "";
    return rmtest::Fixture("surface.mp4", s);
}

// Mean saturation-like spread (max - min channel) over a rectangle of an image.
double Colourfulness(const QImage& img, const QRect& r)
{
    double sum = 0;
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); y += 2)
        for (int x = r.left(); x <= r.right(); x += 2) {
            QColor c = img.pixelColor(x, y);
            sum += std::max({c.red(), c.green(), c.blue()}) - std::min({c.red(), c.green(), c.blue()});
            n++;
        }
    return n ? sum / n : 0;
}

void SendMouse(QWidget* w, QEvent::Type type, QPointF at, Qt::MouseButtons buttons)
{
    QMouseEvent e(type, at, w->mapToGlobal(at), Qt::LeftButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

} // namespace

class PreviewSurfaceTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        pb::close_sdl();
        QTRY_VERIFY(pb::engineInfo().state == pb::PlayState::Closed);
        pb::setPictureSettings({});
        std::lock_guard lock(g_mu);
        g_crops.clear();
    }

    void paintsTwoPanesAtThePanelSize()
    {
        QWidget host;
        host.resize(400, 150);
        rm::ui::PreviewSurface* s = rm::ui::PreviewSurface::Attach(&host);
        host.show();
        QCOMPARE(s->geometry(), host.rect());

        pb::setEditWindow(1);
        pb::initPlayOption("", "", 0, 0, 400, 150);
        QCOMPARE(pb::openFile(Source().c_str()), 0);
        pb::grayFlim();
        QCOMPARE(pb::showFrameAt(1.0, 3000), 0);
        QTRY_VERIFY(s->CurrentFrame() && s->CurrentFrame()->twoPanes && s->CurrentFrame()->source);
        QRectF src = s->SourcePictureRect(), out = s->OutputPictureRect();
        QVERIFY(src.right() <= 200 && out.left() >= 200);
        QCOMPARE(qRound(src.width()), 198);  // 4:3 pictures in 198x150 panes: full width
        QCOMPARE(qRound(out.width() * 3), qRound(out.height() * 4));

        QImage img = s->grab().toImage();
        double left = Colourfulness(img, src.toRect().adjusted(4, 4, -4, -4));
        double right = Colourfulness(img, out.toRect().adjusted(4, 4, -4, -4));
        QVERIFY2(left > 40, "the source pane shows the colour picture");
        QVERIFY2(right < 6, "the output pane shows the gray effect");

        // The panel grows: the surface and its pictures follow.
        host.resize(600, 300);
        QTRY_COMPARE(s->geometry(), host.rect());
        QVERIFY(s->OutputPictureRect().height() > 200);
        QVERIFY(s->OutputPictureRect().left() >= 300);
        pb::setEditWindow(0);
        pb::setPictureSettings({});
        s->setParent(nullptr);
    }

    void draggingTheCropFrameReportsMarginsAndCropsOnRelease()
    {
        QWidget host;
        host.resize(320, 240);
        rm::ui::PreviewSurface* s = rm::ui::PreviewSurface::Attach(&host);
        host.show();
        pb::setCropHandle(&g_cropHandle);
        pb::setEditWindow(0);
        QCOMPARE(pb::openFile(Source().c_str()), 0);
        QCOMPARE(pb::showFrameAt(0.5, 3000), 0);
        QVERIFY(s->CropFrameRect().isEmpty());  // no frame before cropFlim
        pb::cropFlim();
        QTRY_VERIFY(!s->CropFrameRect().isEmpty());
        QRectF frame = s->CropFrameRect();
        QCOMPARE(qRound(frame.width()), 320);  // 160x120 shown at 320x240: 2 widget pixels a source pixel

        QPointF at(frame.left() + 1, frame.center().y());
        SendMouse(s, QEvent::MouseButtonPress, at, Qt::LeftButton);
        SendMouse(s, QEvent::MouseMove, at + QPointF(20, 0), Qt::LeftButton);
        SendMouse(s, QEvent::MouseMove, at + QPointF(40, 0), Qt::LeftButton);
        QCOMPARE(qRound(s->CropFrameRect().left()), qRound(frame.left() + 40));
        SendMouse(s, QEvent::MouseButtonRelease, at + QPointF(40, 0), Qt::NoButton);

        QTRY_COMPARE(CropCount(), 3);
        {
            std::lock_guard lock(g_mu);
            QCOMPARE(g_crops[0].left, 10);  // 20 widget pixels = 10 source pixels
            QCOMPARE(g_crops[1].left, 20);
            QCOMPARE(g_crops[2].left, 20);
            QCOMPARE(g_crops[2].top, 0);
        }
        QTRY_COMPARE(pb::pictureSettings().CropLeft, 20);
        QTRY_COMPARE(s->CurrentFrame()->crop.left, 20);

        // Dragging the top edge down past the bottom keeps some picture.
        frame = s->CropFrameRect();
        at = QPointF(frame.center().x(), frame.top() + 1);
        SendMouse(s, QEvent::MouseButtonPress, at, Qt::LeftButton);
        SendMouse(s, QEvent::MouseMove, at + QPointF(0, 1000), Qt::LeftButton);
        SendMouse(s, QEvent::MouseButtonRelease, at + QPointF(0, 1000), Qt::NoButton);
        QTRY_COMPARE(pb::pictureSettings().CropTop, 120 - 16);
        pb::setCropHandle(nullptr);
        s->setParent(nullptr);
    }

    void cropFrameOfNarrowPixelsKeepsTheShownShapeAndSourcePixels()
    {
        // A 720x480 DVD picture flagged 4:3 is shown 4:3 (not 3:2); the frame covers the
        // shown picture and a drag still counts the source's own pixels.
        const std::string dvd = rmtest::sources::NtscDvd();
        QVERIFY(!dvd.empty());
        QWidget host;
        host.resize(320, 240);
        rm::ui::PreviewSurface* s = rm::ui::PreviewSurface::Attach(&host);
        host.show();
        pb::setCropHandle(&g_cropHandle);
        pb::setEditWindow(0);
        QCOMPARE(pb::openFile(dvd.c_str()), 0);
        QCOMPARE(pb::showFrameAt(0.5, 3000), 0);
        pb::cropFlim();
        QTRY_VERIFY(!s->CropFrameRect().isEmpty());
        QRectF frame = s->CropFrameRect();
        QCOMPARE(qRound(frame.width()), 320);
        QCOMPARE(qRound(frame.height()), 240);
        QCOMPARE(qRound(s->OutputPictureRect().height()), 240);

        const int before = CropCount();
        QPointF at(frame.left() + 1, frame.center().y());
        SendMouse(s, QEvent::MouseButtonPress, at, Qt::LeftButton);
        SendMouse(s, QEvent::MouseMove, at + QPointF(32, 0), Qt::LeftButton);
        SendMouse(s, QEvent::MouseButtonRelease, at + QPointF(32, 0), Qt::NoButton);
        QTRY_COMPARE(pb::pictureSettings().CropLeft, 72);  // 32 of 320 shown pixels = 72 of 720
        QVERIFY(CropCount() > before);
        pb::setCropHandle(nullptr);
        pb::setPictureSettings({});
        s->setParent(nullptr);
    }

    void volumeScalesTheSound()
    {
        const int16_t in[] = {1000, -1000, 20000, -20000, 0};
        struct Case { int volume; int16_t expect[5]; };
        const Case cases[] = {
            {255, {1000, -1000, 20000, -20000, 0}},
            {0, {0, 0, 0, 0, 0}},
            {510, {2000, -2000, 32767, -32768, 0}},
            {600, {2000, -2000, 32767, -32768, 0}},  // above the range counts as 510
        };
        for (const Case& c : cases) {
            int16_t out[5];
            rm::ui::ApplyVolume(in, out, 5, c.volume);
            for (int i = 0; i < 5; i++)
                QCOMPARE(out[i], c.expect[i]);
        }
    }

    void soundQueueKeepsOrderAcrossItsEnd()
    {
        rm::ui::SoundQueue q;
        q.Reset(4, 2);  // 4 stereo frames
        const int16_t a[] = {1, 2, 3, 4, 5, 6};
        QCOMPARE(q.Write(a, 3), 3);
        int16_t out[10];
        QCOMPARE(q.Read(out, 4, 255), int64_t(2));
        QCOMPARE(out[0], int16_t(1));
        QCOMPARE(out[3], int16_t(4));
        const int16_t b[] = {7, 8, 9, 10, 11, 12, 13, 14};
        QCOMPARE(q.Write(b, 4), 3);  // only three frames fit; the ring wraps
        QCOMPARE(q.QueuedFrames(), size_t(4));
        QCOMPARE(q.Read(out, 10, 510), int64_t(4));  // twice as loud, then silence
        const int16_t expect[] = {10, 12, 14, 16, 18, 20, 22, 24, 0, 0};
        for (int i = 0; i < 10; i++)
            QCOMPARE(out[i], expect[i]);
        QCOMPARE(q.Write(b, 1), 1);
        q.Clear();
        QCOMPARE(q.Read(out, 2, 255), int64_t(0));
        QCOMPARE(out[0], int16_t(0));
    }

    void devicePositionCountsOnlyTheNewSound()
    {
        rm::ui::DevicePosition p;
        p.Restart();
        p.Pulled(0, 100);   // silence before any sound
        p.Pulled(300, 300);
        p.Processed(50);
        QCOMPARE(p.Played(), int64_t(0));  // still in the silence
        p.Processed(250);
        QCOMPARE(p.Played(), int64_t(150));
        p.Pulled(100, 400);  // the queue ran dry: 300 frames of silence follow
        p.Processed(600);
        QCOMPARE(p.Played(), int64_t(400));  // all the sound; the silence is not counted
        p.Processed(700);
        QCOMPARE(p.Played(), int64_t(400));  // inside the gap the sound stands still
        // A flush: what the device still holds (up to frame 800) is old sound.
        p.Flush();
        p.Pulled(200, 200);
        p.Processed(750);
        QCOMPARE(p.Played(), int64_t(0));
        p.Processed(900);
        QCOMPARE(p.Played(), int64_t(100));
        p.Processed(5000);
        QCOMPARE(p.Played(), int64_t(200));  // never more than was given
    }

    void noSoundDeviceDoesNotStopThePicture()
    {
        rm::ui::PreviewAudio* audio = rm::ui::PreviewAudio::Instance();
        if (audio->HasDevice())
            QSKIP("a sound device is present here");
        QVERIFY(!audio->open(44100, 2));
        rmtest::FixtureSpec spec;
        spec.width = 160;
        spec.height = 120;
        spec.seconds = 2;
        std::string withSound = rmtest::Fixture("sound.mp4", spec);
        QCOMPARE(pb::openFile(withSound.c_str()), 0);
        pb::startPlay(0);
        QTRY_VERIFY_WITH_TIMEOUT(pb::engineInfo().position > 0.8, 4000);
        QVERIFY(!pb::engineInfo().audioClock);
    }

    void cleanupTestCase()
    {
        pb::close_sdl();
        QTRY_VERIFY(pb::engineInfo().state == pb::PlayState::Closed);
    }
};

QTEST_MAIN(PreviewSurfaceTest)
#include "preview_surface_test.moc"
