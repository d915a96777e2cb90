// The main window's preview driven as a user drives it: a task or a merge group played in the
// preview panel, pause and resume, stop, the track bar's seek, the end of playback, snapshots in
// the snapshot folder, the status reports' routing, the engine handed to a dialog and back, a
// live theme change, and the properties command on the selected task.
#include "engines/playback/playback_engine.h"
#include "model/app_settings.h"
#include "model/registry_key.h"
#include "model/task_tree.h"
#include "support/media_fixture.h"
#include "ui/window_test_store.h"
#include "ui/app/app_windows.h"
#include "ui/app/main_form.h"
#include "ui/app/message_boxes.h"
#include "ui/app/player_form.h"
#include "ui/app/preview_status.h"
#include "ui/app/task_list_view.h"
#include "ui/convert/convert_form.h"
#include "ui/dialogs/pro_form.h"
#include "ui/editors/clip_form.h"
#include "ui/preview/preview_surface.h"
#include "ui/toolkit/app_style.h"
#include "ui/toolkit/image_button.h"
#include "ui/toolkit/skin_ops.h"
#include "ui/toolkit/skin_track_bar.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <mutex>
#include <vector>

using namespace rm::ui;
using rm::TaskNode;
namespace pb = rm::playback;

namespace {

std::mutex g_mu;
std::vector<pb::PlayerStatus> g_trimReports;

} // namespace

class MainPreviewTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_long, m_short, m_other;  // fixture videos: 4 s, 1 s, 2 s
    QStringList m_chosen;
    QDialog* m_lastModal = nullptr;
    std::function<void(QDialog*)> m_duringModal;
    QList<QUrl> m_opened;

    rm::TaskTree* tasks() { return frmMain->Tasks; }

    TaskNode* addOne(const QString& file)
    {
        m_chosen = {file};
        frmMain->addFileClick();
        const std::vector<TaskNode*> sel = frmMain->SelectedNodes();
        return sel.empty() ? nullptr : sel.front();
    }

    void play() { frmMain->btnPlay->click(); }

    bool pictureShown()
    {
        const pb::SurfaceFramePtr f = PreviewSurface::Instance()->CurrentFrame();
        return f && !f->idle && f->output && !f->output->empty();
    }

    bool looksLike(ImageButton* b, const QString& element)
    {
        return b->NormalPicture().toImage() ==
               LoadSkinPicture(frmMain->PicturePath(element, rm::PictureNormal)).toImage();
    }

    // A press and release of the track bar at a value, as the mouse does it.
    void dragTrackTo(int value)
    {
        SkinTrackBar* bar = frmMain->MainTrackBar;
        const QPoint at(bar->KnobCentre(value), bar->height() / 2);
        QTest::mousePress(bar, Qt::LeftButton, {}, at);
        QTest::mouseRelease(bar, Qt::LeftButton, {}, at);
    }

    QString snapFolder() const { return m_dir.filePath("snaps"); }

private slots:
    void initTestCase()
    {
        QVERIFY(rmtest::UseWindowTestStore(m_dir, m_dir.filePath("out") + "/",
                                           {{QStringLiteral("PreviewVolume"), QStringLiteral("300")}}));

        rmtest::FixtureSpec spec;
        spec.width = 160;
        spec.height = 120;
        spec.seconds = 4.0;
        m_long = QString::fromStdString(rmtest::Fixture("preview_long.mp4", spec));
        spec.seconds = 1.0;
        m_short = QString::fromStdString(rmtest::Fixture("preview_short.mp4", spec));
        spec.seconds = 2.0;
        spec.container = "avi";
        m_other = QString::fromStdString(rmtest::Fixture("preview_other.avi", spec));

        SetBoxAnswerer([](const BoxRequest&) { return true; });
        TfrmMain::SetFilesChooser([this](QWidget*) { return m_chosen; });
        TfrmMain::SetModalRunner([this](QDialog* d) {
            m_lastModal = d;
            if (m_duringModal)
                m_duringModal(d);
            return int(QDialog::Accepted);
        });
        SetUrlOpener([this](const QUrl& u) { m_opened << u; });

        CreateAppWindows();
        frmMain->show();
        QVERIFY(QTest::qWaitForWindowExposed(frmMain));
        rm::TheAppSettings().snapshotFolder = snapFolder();
    }

    void cleanupTestCase()
    {
        pb::stopPlay(1);
        pb::close_sdl();
        DestroyAppWindows();
        SetBoxAnswerer({});
        TfrmMain::SetFilesChooser({});
        TfrmMain::SetModalRunner({});
        SetUrlOpener({});
        rm::SetProgramFolder({});
        rm::RegistryKey::SetStoreFile({});
    }

    void init()
    {
        frmMain->ClearAllClick();
        m_lastModal = nullptr;
        m_duringModal = {};
        QTRY_VERIFY(pb::engineInfo().state != pb::PlayState::Playing);
        // Reports the engine sent before it stopped are delivered now, not in the next case.
        QCoreApplication::sendPostedEvents(frmMain);
        QVERIFY(!frmMain->PreviewPlaying());
    }

    void firstShowSetsThePreviewUpHiddenWithTheStoredVolume()
    {
        QVERIFY(!frmMain->MainPlayPanel->isVisible());
        QCOMPARE(Playerfrm->parentWidget(), frmMain->MainPlayPanel);
        QCOMPARE(PreviewSurface::Instance()->parentWidget(), static_cast<QWidget*>(Playerfrm));
        QCOMPARE(int(frmMain->PreviewOwner.load()), 0);
        QCOMPARE(frmMain->SavedVolume(), 300u);
        QVERIFY(!frmMain->btnPlay->isEnabled());
        QVERIFY(!frmMain->btnStop->isEnabled());
        QVERIFY(!frmMain->btnPhoto->isEnabled());
    }

    void playingASelectedFileShowsPicturesAndMovesTheBar()
    {
        TaskNode* row = addOne(m_long);
        QVERIFY(row);
        QCOMPARE(frmMain->MainTrackBar->maximum(), 4);
        QCOMPARE(frmMain->MainTrackBar->value(), 0);
        play();
        QVERIFY(frmMain->PreviewPlaying());
        QVERIFY(frmMain->MainPlayPanel->isVisible());
        QVERIFY(frmMain->btnStop->isEnabled());
        QVERIFY(frmMain->btnPhoto->isEnabled());
        QVERIFY(looksLike(frmMain->btnPlay, "btnPause"));
        // Pictures arrive with or without a sound device, and the bar follows the reports.
        QTRY_VERIFY_WITH_TIMEOUT(pictureShown(), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(frmMain->MainTrackBar->value() >= 1, 5000);
        QVERIFY(Playerfrm->isVisible());
        QCOMPARE(Playerfrm->size(), frmMain->MainPlayPanel->size());

        // Stop: idle picture, buttons back to their stopped look.
        frmMain->btnStop->click();
        QVERIFY(!frmMain->PreviewPlaying());
        QVERIFY(frmMain->PreviewStopped());
        QVERIFY(!frmMain->btnStop->isEnabled());
        QVERIFY(!frmMain->btnPhoto->isEnabled());
        QVERIFY(looksLike(frmMain->btnPlay, "btnPlay"));
        QTRY_VERIFY(pb::engineInfo().state == pb::PlayState::Stopped);
    }

    void pauseHoldsThePictureAndPlayGoesOnFromThere()
    {
        QVERIFY(addOne(m_long));
        play();
        QTRY_VERIFY_WITH_TIMEOUT(pb::engineInfo().position >= 1.0, 5000);
        play();  // pause
        QVERIFY(!frmMain->PreviewPlaying());
        QVERIFY(looksLike(frmMain->btnPlay, "btnPlay"));
        QTRY_VERIFY(pb::engineInfo().state == pb::PlayState::Paused);
        const double held = pb::engineInfo().position;
        QTest::qWait(400);
        QVERIFY(std::abs(pb::engineInfo().position - held) < 0.05);
        // Play again: on from the paused picture, not from the start.
        play();
        QVERIFY(frmMain->PreviewPlaying());
        QTRY_VERIFY(pb::engineInfo().state == pb::PlayState::Playing);
        QTRY_VERIFY_WITH_TIMEOUT(pb::engineInfo().position > held + 0.2, 5000);
        QVERIFY(pb::engineInfo().position >= held);
        QTRY_VERIFY(frmMain->MainTrackBar->value() >= 1);
    }

    void theTrackBarSeeksAndReleasingAtTheEndRestarts()
    {
        QVERIFY(addOne(m_long));
        // While nothing plays, a press and release only puts the bar back to 0.
        dragTrackTo(3);
        QCOMPARE(frmMain->MainTrackBar->value(), 0);

        play();
        QTRY_VERIFY_WITH_TIMEOUT(pictureShown(), 5000);
        dragTrackTo(3);
        QCOMPARE(frmMain->MainTrackBar->value(), 3);
        QVERIFY(!frmMain->PreviewStopped());
        QTRY_VERIFY_WITH_TIMEOUT(pb::engineInfo().position >= 3.0, 5000);
        QVERIFY(frmMain->MainTrackBar->value() >= 3);

        // Released at the maximum: the row starts again from its beginning.
        dragTrackTo(4);
        QCOMPARE(frmMain->MainTrackBar->value(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(pb::engineInfo().state == pb::PlayState::Playing &&
                                     pb::engineInfo().position < 2.0,
                                 5000);
        QVERIFY(frmMain->PreviewPlaying());
    }

    void draggingTheBarShowsPicturesNearEachPlaceAndTheReleaseSeeksExactly()
    {
        // A segment from second 1: the bar counts from there, and so do the pictures of a drag.
        TaskNode* row = addOne(m_long);
        QVERIFY(row);
        std::vector<std::unique_ptr<rm::MediaItem>> segments = tasks()->trimListFor(row);
        segments.front()->trim = {1, 4};
        TaskNode* task = tasks()->saveTrim(row, {segments.front().get()}, 1);
        QVERIFY(task && task->childCount() == 1);
        frmMain->SelectOnly(task->child(0));
        play();
        QTRY_VERIFY_WITH_TIMEOUT(pictureShown(), 5000);

        SkinTrackBar* bar = frmMain->MainTrackBar;
        const QPoint from(bar->KnobCentre(0), bar->height() / 2), to(bar->KnobCentre(2), bar->height() / 2);
        QTest::mousePress(bar, Qt::LeftButton, {}, from);
        QMouseEvent move(QEvent::MouseMove, to, bar->mapToGlobal(to), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(bar, &move);
        // Paused on a picture at most a GOP before second 3 of the file (bar 2 + the start).
        QTRY_VERIFY_WITH_TIMEOUT(pb::engineInfo().state == pb::PlayState::Paused, 3000);
        QTRY_VERIFY_WITH_TIMEOUT(PreviewSurface::Instance()->CurrentFrame()->position > 2.0 &&
                                     PreviewSurface::Instance()->CurrentFrame()->position <= 3.0,
                                 3000);
        QCOMPARE(bar->value(), 2);

        QTest::mouseRelease(bar, Qt::LeftButton, {}, to);
        QTRY_VERIFY_WITH_TIMEOUT(pb::engineInfo().state == pb::PlayState::Playing &&
                                     pb::engineInfo().position >= 3.0,
                                 5000);
        QVERIFY(!frmMain->PreviewStopped());
    }

    void aSegmentPlaysItsRangeWithTheBarCountingFromItsStart()
    {
        TaskNode* row = addOne(m_long);
        QVERIFY(row);
        std::vector<std::unique_ptr<rm::MediaItem>> segments = tasks()->trimListFor(row);
        QCOMPARE(segments.size(), size_t(1));
        segments.front()->trim = {2, 3};
        TaskNode* task = tasks()->saveTrim(row, {segments.front().get()}, 1);
        QVERIFY(task && task->childCount() == 1);
        TaskNode* segment = task->child(0);
        QVERIFY(segment->item()->IsSegment());
        frmMain->SelectOnly(segment);
        QCOMPARE(frmMain->MainTrackBar->maximum(), 1);
        play();
        QVERIFY(frmMain->PreviewPlaying());
        // The engine starts at the segment's start; the bar shows 0 there.
        QTRY_VERIFY_WITH_TIMEOUT(pb::engineInfo().position >= 2.0, 5000);
        // It plays its whole second and stops at the segment's end, before the file's end.
        QTRY_VERIFY_WITH_TIMEOUT(!frmMain->PreviewPlaying(), 5000);
        QTRY_VERIFY(pb::engineInfo().state == pb::PlayState::Stopped);
        QVERIFY(pb::engineInfo().position >= 2.9);
        QVERIFY(pb::engineInfo().position < 3.9);
    }

    void theEndOfPlaybackStopsAndResetsTheButtons()
    {
        QVERIFY(addOne(m_short));
        QCOMPARE(frmMain->MainTrackBar->maximum(), 1);
        play();
        QVERIFY(frmMain->PreviewPlaying());
        QTRY_VERIFY_WITH_TIMEOUT(!frmMain->PreviewPlaying(), 8000);
        QTRY_VERIFY(!frmMain->btnStop->isEnabled());
        QVERIFY(!frmMain->btnPhoto->isEnabled());
        QVERIFY(looksLike(frmMain->btnPlay, "btnPlay"));
        QVERIFY(frmMain->PreviewStopped());
        // Pressing play again plays the row from its start.
        play();
        QVERIFY(frmMain->PreviewPlaying());
        QTRY_VERIFY_WITH_TIMEOUT(pb::engineInfo().state == pb::PlayState::Playing, 5000);
    }

    void aMergeGroupPlaysItsMembersBackToBackAndSeeksInTheTimeline()
    {
        QVERIFY(addOne(m_other));
        QVERIFY(addOne(m_long));
        QItemSelectionModel* sm = frmMain->TaskView->selectionModel();
        sm->clearSelection();
        for (int i = 0; i < 2; ++i)
            sm->select(tasks()->indexOf(tasks()->topLevel(i)), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        frmMain->mergeClick();
        const std::vector<TaskNode*> sel = frmMain->SelectedNodes();
        QCOMPARE(sel.size(), size_t(1));
        QVERIFY(sel.front()->item()->IsGroupNode());
        QCOMPARE(sel.front()->childCount(), 2);

        play();
        QVERIFY(frmMain->PreviewPlaying());
        QCOMPARE(frmMain->MainTrackBar->maximum(), 6);
        QTRY_VERIFY_WITH_TIMEOUT(pb::engineInfo().length > 5.5, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(pictureShown(), 5000);
        // While the bar is held, the group's reports do not pull the knob from under the mouse.
        {
            SkinTrackBar* bar = frmMain->MainTrackBar;
            const QPoint at(bar->KnobCentre(5), bar->height() / 2);
            QTest::mousePress(bar, Qt::LeftButton, {}, at);
            QTest::qWait(700);
            QCOMPARE(bar->value(), 5);
            QVERIFY(frmMain->PreviewPlaying());
            QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(bar->KnobCentre(3), bar->height() / 2));
        }
        // Into the second member (2 s + 4 s): a seek in the timeline, the group keeps playing.
        dragTrackTo(3);
        QTRY_VERIFY_WITH_TIMEOUT(pb::engineInfo().position >= 3.0, 5000);
        QVERIFY(frmMain->PreviewPlaying());
        QTRY_VERIFY_WITH_TIMEOUT(frmMain->MainTrackBar->value() >= 3, 3000);

        // A member plays alone, its own range on the bar.
        frmMain->btnStop->click();
        frmMain->SelectOnly(sel.front()->child(1));
        play();
        QCOMPARE(frmMain->MainTrackBar->maximum(), 4);
        QTRY_VERIFY_WITH_TIMEOUT(pb::engineInfo().length > 3.5 && pb::engineInfo().length < 5.0, 5000);
        QVERIFY(frmMain->PreviewPlaying());
    }

    void clearingTheListStopsThePreviewOfItsRows()
    {
        QVERIFY(addOne(m_long));
        play();
        QVERIFY(frmMain->PreviewPlaying());
        frmMain->ClearAllClick();
        QVERIFY(!frmMain->PreviewPlaying());
        QTRY_VERIFY(pb::engineInfo().state == pb::PlayState::Stopped);
        // A new row at the same place starts from its own beginning, not from a paused old one.
        QVERIFY(addOne(m_other));
        play();
        QVERIFY(frmMain->PreviewPlaying());
        QTRY_VERIFY_WITH_TIMEOUT(pb::engineInfo().length > 0 && pb::engineInfo().length < 3.0, 5000);
    }

    void snapshotsAreNumberedInTheSnapshotFolderInTheChosenFormat()
    {
        QDir(snapFolder()).removeRecursively();
        rm::TheAppSettings().snapshotFormat.clear();
        QVERIFY(addOne(m_long));
        // Nothing plays: no snapshot.
        frmMain->btnPhotoClick();
        QVERIFY(!QFileInfo::exists(snapFolder()));

        play();
        QTRY_VERIFY_WITH_TIMEOUT(pictureShown() && pb::engineInfo().position >= 0.5, 5000);
        const int first = frmMain->SnapshotCounter();
        const QString n0 = QString::asprintf("%05d", first), n1 = QString::asprintf("%05d", first + 1),
                      n2 = QString::asprintf("%05d", first + 2);
        frmMain->btnPhoto->click();  // the missing folder is made (one level)
        QVERIFY(QFileInfo::exists(snapFolder() + "/" + n0 + ".jpg"));
        QCOMPARE(rm::TheAppSettings().snapshotFormat, QStringLiteral(".jpg"));
        frmMain->btnPhoto->click();
        QVERIFY(QFileInfo::exists(snapFolder() + "/" + n1 + ".jpg"));
        const QImage jpg(snapFolder() + "/" + n1 + ".jpg", "JPG");
        QCOMPARE(jpg.size(), QSize(160, 120));

        rm::TheAppSettings().snapshotFormat = QStringLiteral(".png");
        // A name an earlier run left in the folder is passed over, not overwritten.
        {
            QFile keep(snapFolder() + "/" + n2 + ".png");
            QVERIFY(keep.open(QIODevice::WriteOnly));
            keep.write("earlier");
        }
        frmMain->btnPhoto->click();
        QFile earlier(snapFolder() + "/" + n2 + ".png");
        QVERIFY(earlier.open(QIODevice::ReadOnly));
        QCOMPARE(earlier.readAll(), QByteArray("earlier"));
        const QString n3 = QString::asprintf("%05d", first + 3);
        QFile png(snapFolder() + "/" + n3 + ".png");
        QVERIFY(png.open(QIODevice::ReadOnly));
        QCOMPARE(png.read(8), QByteArray("\x89PNG\r\n\x1a\n", 8));
        QCOMPARE(frmMain->SnapshotCounter(), first + 4);

        // A folder that cannot be made (its parent is missing): nothing, no message.
        rm::TheAppSettings().snapshotFolder = m_dir.filePath("no/such/deep");
        frmMain->btnPhoto->click();
        QVERIFY(!QFileInfo::exists(m_dir.filePath("no")));
        QCOMPARE(frmMain->SnapshotCounter(), first + 4);
        rm::TheAppSettings().snapshotFolder = snapFolder();

        // The open-folder button shows the snapshot folder.
        m_opened.clear();
        rm::TheAppSettings().snapshotFolder = "  " + snapFolder() + " ";
        frmMain->btnOpen->click();
        rm::TheAppSettings().snapshotFolder = snapFolder();
        QCOMPARE(m_opened, QList<QUrl>({QUrl::fromLocalFile(snapFolder())}));
        rm::TheAppSettings().snapshotFormat.clear();
    }

    void reportsAreRoutedDroppedAndNeverTouchTheBarFromTheEngineThread()
    {
        QVERIFY(addOne(m_long));
        frmMain->MainTrackBar->setValue(1);
        pb::PlayerStatus s{};
        s.minutes = 60;
        s.seconds = 2;
        QCOMPARE(PreviewStatusCallback(&s), 0);
        QTest::qWait(50);
        QCOMPARE(frmMain->MainTrackBar->value(), 1);
        // A valid report reaches the bar as a posted message, not at once.
        s.minutes = 0;
        PreviewStatusCallback(&s);
        QCOMPARE(frmMain->MainTrackBar->value(), 1);
        QTRY_COMPARE(frmMain->MainTrackBar->value(), 2);

        // While a dialog owns the engine, its handler gets the reports and the bar stays.
        SetPreviewStatusHandler(2, [](const pb::PlayerStatus& r) {
            std::lock_guard lock(g_mu);
            g_trimReports.push_back(r);
        });
        frmMain->PreviewOwner = 2;
        s.seconds = 3;
        PreviewStatusCallback(&s);
        frmMain->PreviewOwner = 0;
        SetPreviewStatusHandler(2, {});
        QTest::qWait(50);
        QCOMPARE(frmMain->MainTrackBar->value(), 2);
        {
            std::lock_guard lock(g_mu);
            QCOMPARE(int(g_trimReports.size()), 1);
            QCOMPARE(g_trimReports.front().seconds, 3);
        }
    }

    void dialogsGetTheEngineClosedAndThePreviewComesBack()
    {
        QVERIFY(addOne(m_long));
        play();
        QTRY_VERIFY_WITH_TIMEOUT(pictureShown(), 5000);
        pb::PlayState during = pb::PlayState::Playing;
        bool panelDuring = true;
        m_duringModal = [&](QDialog*) {
            // The engine closes on its own thread, soon after the call.
            QDeadlineTimer deadline(2000);
            while (pb::engineInfo().state != pb::PlayState::Closed && !deadline.hasExpired())
                QThread::msleep(10);
            during = pb::engineInfo().state;
            panelDuring = frmMain->MainPlayPanel->isVisible();
        };
        frmMain->clipClick();
        QCOMPARE(m_lastModal, static_cast<QDialog*>(frmClip));
        QCOMPARE(during, pb::PlayState::Closed);
        QVERIFY(!panelDuring);
        QVERIFY(!frmMain->PreviewPlaying());
        QCOMPARE(frmMain->MainTrackBar->value(), 0);
        // Set up again in the main window's panel.
        QCOMPARE(int(frmMain->PreviewOwner.load()), 0);
        QCOMPARE(Playerfrm->parentWidget(), frmMain->MainPlayPanel);
        QCOMPARE(PreviewSurface::Instance()->parentWidget(), static_cast<QWidget*>(Playerfrm));
        play();
        QVERIFY(frmMain->MainPlayPanel->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(pb::engineInfo().state == pb::PlayState::Playing, 5000);
    }

    void aThemeChangeResizesTheWindowAndKeepsThePreviewState()
    {
        const QString defaultTheme = frmMain->ThemeFile();
        const QString sunset = QStringLiteral(RM_APP_DIR "/Images/Sunset.xml");
        QCOMPARE(frmMain->size(), QSize(900, 600));
        // The panel hidden (as after a dialog) stays hidden.
        QVERIFY(addOne(m_long));
        frmMain->clipClick();
        QVERIFY(!frmMain->MainPlayPanel->isVisible());
        QVERIFY(ChangeTheme(sunset));
        QCOMPARE(frmMain->size(), QSize(980, 650));
        QVERIFY(!frmMain->MainPlayPanel->isVisible());
        QCOMPARE(frmMain->PreviewSize(), QSize(444, 333));

        play();
        QTRY_VERIFY_WITH_TIMEOUT(pictureShown(), 5000);
        QVERIFY(ChangeTheme(defaultTheme));
        QCOMPARE(frmMain->size(), QSize(900, 600));
        QVERIFY(frmMain->MainPlayPanel->isVisible());
        QCOMPARE(frmMain->MainPlayPanel->size(), frmMain->PreviewSize());
        QCOMPARE(Playerfrm->size(), frmMain->MainPlayPanel->size());
        QTRY_COMPARE(PreviewSurface::Instance()->size(), frmMain->MainPlayPanel->size());
        QVERIFY(looksLike(frmMain->btnPlay, "btnPause"));
        QVERIFY(frmMain->PreviewPlaying());
        // Other skinned windows take their theme's size too.
        const rm::SkinElementValues pro = frmPro->Element(QStringLiteral("proFormCreate"));
        QCOMPARE(frmPro->size(), QSize(pro.width, pro.height));
    }

    void propertiesShowTheSelectedTask()
    {
        m_duringModal = [](QDialog* d) {
            if (d == frmPro)
                frmPro->FormShow();
        };
        QVERIFY(addOne(m_long));
        QVERIFY(addOne(m_other));
        frmMain->SelectOnly(tasks()->topLevel(0));
        frmMain->PropertiesClick();
        QCOMPARE(m_lastModal, static_cast<QDialog*>(frmPro));
        QCOMPARE(frmPro->Text_N->text(), QStringLiteral("preview_long"));
        frmMain->SelectOnly(tasks()->topLevel(1));
        frmMain->PropertiesClick();
        QCOMPARE(frmPro->Text_N->text(), QStringLiteral("preview_other"));
    }

    // Not a check: with RM_SCREENSHOT_DIR set and a real display (xvfb-run, QT_QPA_PLATFORM=xcb),
    // photographs the playing preview (a merge group, then after a live switch to the other
    // theme) into that folder as preview_<name>.png.
    void screenshots()
    {
        const QString dir = qEnvironmentVariable("RM_SCREENSHOT_DIR");
        if (dir.isEmpty())
            QSKIP("RM_SCREENSHOT_DIR not set");
        QDir().mkpath(dir);
        auto shoot = [&](const QString& name) {
            frmMain->raise();
            QTest::qWait(400);
            QCOMPARE(QProcess::execute(QStringLiteral("import"),
                                       {QStringLiteral("-window"), QStringLiteral("root"),
                                        dir + QStringLiteral("/preview_") + name + QStringLiteral(".png")}),
                     0);
        };
        ApplyAppStyle(*qApp);
        const QString defaultTheme = frmMain->ThemeFile();
        QVERIFY(addOne(m_other));
        QVERIFY(addOne(m_long));
        QItemSelectionModel* sm = frmMain->TaskView->selectionModel();
        sm->clearSelection();
        for (int i = 0; i < 2; ++i)
            sm->select(tasks()->indexOf(tasks()->topLevel(i)), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        frmMain->mergeClick();
        play();
        QTRY_VERIFY_WITH_TIMEOUT(frmMain->MainTrackBar->value() >= 3, 8000);
        shoot(QStringLiteral("group_playing"));
        QVERIFY(ChangeTheme(QStringLiteral(RM_APP_DIR "/Images/Sunset.xml")));
        QTest::qWait(300);
        shoot(QStringLiteral("sunset_after_switch"));
        QVERIFY(ChangeTheme(defaultTheme));
        frmMain->btnStop->click();
        QTest::qWait(200);
        shoot(QStringLiteral("stopped_idle"));
    }
};

QTEST_MAIN(MainPreviewTest)
#include "main_preview_test.moc"
