// The trim dialog on real task lists and a real preview: the first segment row, bars that never
// cross, typed times and their messages, adding and deleting segments, what OK writes into the
// task list (segment children, refreshed and removed group members), Cancel with No, the seek
// handshake of the position bar and the hold flag at the end of the source.
#include "engines/playback/playback_engine.h"
#include "model/app_settings.h"
#include "model/registry_key.h"
#include "model/skin_theme.h"
#include "model/task_tree.h"
#include "support/media_fixture.h"
#include "support/source_fixtures.h"
#include "ui/app/message_boxes.h"
#include "ui/editors/clip_form.h"
#include "ui/preview/preview_surface.h"
#include "ui/toolkit/app_style.h"
#include "ui/toolkit/duration_edit.h"
#include "ui/toolkit/image_button.h"
#include "ui/toolkit/skin_track_bar.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include <cstring>

using namespace rm::ui;
namespace pb = rm::playback;

namespace {

// A source of `seconds` at 5 pictures a second, named so that its output base name is `base`.
std::string Source(const std::string& base, double seconds)
{
    rmtest::FixtureSpec s;
    s.width = 160;
    s.height = 120;
    s.fpsNum = 5;
    s.seconds = seconds;
    s.audioCodec = "";
    s.gop = 5;
    return rmtest::Fixture(base + ".mp4", s);
}

void PressBar(SkinTrackBar* bar, int value)
{
    const QPoint at(bar->KnobCentre(value), bar->height() / 2);
    QMouseEvent press(QEvent::MouseButtonPress, at, bar->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(bar, &press);
}

void ReleaseBar(SkinTrackBar* bar, int value)
{
    const QPoint at(bar->KnobCentre(value), bar->height() / 2);
    QMouseEvent release(QEvent::MouseButtonRelease, at, bar->mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(bar, &release);
}

void DragBar(SkinTrackBar* bar, int value)
{
    PressBar(bar, value);
    ReleaseBar(bar, value);
}

QString Picker(const DurationEdit* t) { return t->text(); }

} // namespace

class TrimDialogTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QStringList m_boxes;
    bool m_answerYes = false;
    std::unique_ptr<TfrmClip> m_clip;
    std::unique_ptr<rm::TaskTree> m_tree;

    rm::TaskNode* AddFile(const std::string& path)
    {
        const rm::AddFilesResult r = m_tree->addFiles({QString::fromStdString(path)}, false);
        return r.added.empty() ? nullptr : r.added.front();
    }

    // Opens the dialog as the main window does, without blocking: the test is the user.
    void Open(rm::TaskNode* selected)
    {
        QVERIFY(m_clip->SetTarget(m_tree.get(), selected));
        m_clip->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_clip.get()));
    }

    void Select(int row) { m_clip->ClipNodeTree->setCurrentItem(m_clip->ClipNodeTree->topLevelItem(row)); }

    QStringList ChildNames(const rm::TaskNode* task) const
    {
        QStringList names;
        for (int i = 0; i < task->childCount(); ++i)
            names << QString::fromUtf8(task->child(i)->item()->row.displayName);
        return names;
    }

private slots:
    void initTestCase()
    {
        rm::RegistryKey::SetStoreFile(m_dir.filePath("store.conf"));
        rm::SetProgramFolder(QStringLiteral(RM_APP_DIR "/"));
        QVERIFY(rm::SkinTheme::Current().Load(QStringLiteral(RM_APP_DIR "/Images/DefaultImage.xml")));
        SetBoxAnswerer([this](const BoxRequest& r) {
            m_boxes << r.text;
            return m_answerYes;
        });
        m_clip = std::make_unique<TfrmClip>();
    }

    void cleanupTestCase()
    {
        m_clip.reset();
        SetBoxAnswerer({});
        pb::close_sdl();
    }

    void init()
    {
        m_boxes.clear();
        m_answerYes = false;
        m_tree = std::make_unique<rm::TaskTree>();
    }

    void cleanup()
    {
        if (m_clip->isVisible())
            m_clip->done(QDialog::Rejected);
        m_tree.reset();
    }

    void opensWithOneSegmentRowAndPlaysTheSource()
    {
        rm::TaskNode* task = AddFile(Source("clip", 30));
        QVERIFY(task);
        QCOMPARE(task->item()->trim.end, 30);
        Open(task);

        QCOMPARE(m_clip->ClipNodeTree->topLevelItemCount(), 1);
        const rm::MediaItem& row = *m_clip->Rows().front();
        QCOMPARE(QString::fromUtf8(row.row.displayName), QStringLiteral("Segment_1"));
        QCOMPARE(QString::fromUtf8(row.outputBaseName), QStringLiteral("clip(1)"));
        QCOMPARE(QString::fromUtf8(row.row.destination), QStringLiteral("clip(1).flv"));
        QCOMPARE(row.trim.start, 0);
        QCOMPARE(row.trim.end, 30);
        QCOMPARE(m_clip->SelectedRow(), 0);
        QCOMPARE(m_clip->ClipNodeTree->topLevelItem(0)->text(2), QStringLiteral("00:00:30"));
        for (SkinTrackBar* b : {m_clip->TotalTrackBar, m_clip->StartTrackBar, m_clip->EndTrackBar})
            QCOMPARE(b->maximum(), 30);
        QCOMPARE(m_clip->EndTrackBar->value(), 30);
        QCOMPARE(Picker(m_clip->EndTime), QStringLiteral("00:00:30"));
        QVERIFY(!m_clip->StartTrackBar->BarPicture().isNull());

        // The engine plays the whole source; its reports move the position bar.
        QVERIFY(m_clip->Playing());
        QTRY_VERIFY_WITH_TIMEOUT(m_clip->TotalTrackBar->value() >= 1, 5000);
        QCOMPARE(pb::engineInfo().state, pb::PlayState::Playing);
        QTRY_COMPARE(int(pb::engineInfo().length), 30);

        // Play pauses, play again goes on.
        QTest::mouseClick(m_clip->btnPlay, Qt::LeftButton);
        QVERIFY(!m_clip->Playing());
        QTRY_COMPARE(pb::engineInfo().state, pb::PlayState::Paused);
        QTest::mouseClick(m_clip->btnPlay, Qt::LeftButton);
        QTRY_COMPARE(pb::engineInfo().state, pb::PlayState::Playing);

        // Cancel with nothing changed closes without a question: the task keeps no children; the
        // engine is closed.
        QTest::mouseClick(m_clip->btnCancel, Qt::LeftButton);
        QVERIFY(m_boxes.isEmpty());
        QVERIFY(!m_clip->isVisible());
        QCOMPARE(task->childCount(), 0);
        QTRY_COMPARE(pb::engineInfo().state, pb::PlayState::Closed);
        QCOMPARE(m_clip->ClipNodeTree->topLevelItemCount(), 0);
    }

    void barsNeverCross_data()
    {
        QTest::addColumn<bool>("moveStart");
        QTest::addColumn<int>("to");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("end");
        QTest::newRow("start past the end") << true << 25 << 19 << 20;
        QTest::newRow("start onto the end") << true << 20 << 19 << 20;
        QTest::newRow("start inside") << true << 12 << 12 << 20;
        QTest::newRow("end before the start") << false << 5 << 10 << 11;
        QTest::newRow("end onto the start") << false << 10 << 10 << 11;
        QTest::newRow("end inside") << false << 28 << 10 << 28;
    }

    void barsNeverCross()
    {
        QFETCH(bool, moveStart);
        QFETCH(int, to);
        QFETCH(int, start);
        QFETCH(int, end);
        rm::TaskNode* task = AddFile(Source("clip", 30));
        task->item()->trim = {10, 20};
        Open(task);
        QCOMPARE(m_clip->StartTrackBar->value(), 10);
        QCOMPARE(m_clip->EndTrackBar->value(), 20);

        DragBar(moveStart ? m_clip->StartTrackBar : m_clip->EndTrackBar, to);
        QCOMPARE(m_clip->StartTrackBar->value(), start);
        QCOMPARE(m_clip->EndTrackBar->value(), end);
        const rm::MediaItem& row = *m_clip->Rows().front();
        QCOMPARE(row.trim.start, start);
        QCOMPARE(row.trim.end, end);
        QCOMPARE(QString::fromUtf8(row.row.trimmedLength),
                 QString::fromStdString(rm::DurationToText(float(end - start))));
        QCOMPARE(Picker(m_clip->StartTime), QString::fromStdString(TimeText(start)));
        QCOMPARE(Picker(m_clip->EndTime), QString::fromStdString(TimeText(end)));
        // Releasing a bar plays from its position.
        QTRY_VERIFY(pb::engineInfo().state == pb::PlayState::Playing);
        QTRY_VERIFY(pb::engineInfo().position >= (moveStart ? start : end) - 0.01);
        QVERIFY(!m_clip->Hold());
    }

    void typedTimes_data()
    {
        QTest::addColumn<bool>("typeStart");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("message");  // empty: accepted
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("end");
        QTest::newRow("end on the start") << false << "00:00:10" << "End time error" << 10 << 20;
        QTest::newRow("end before the start") << false << "00:00:04" << "End time error" << 10 << 20;
        QTest::newRow("end past the source") << false << "00:00:31" << "End time error" << 10 << 20;
        QTest::newRow("end at the source's end") << false << "00:00:30" << "" << 10 << 30;
        QTest::newRow("start on the end") << true << "00:00:20" << "Start time error" << 10 << 20;
        QTest::newRow("start past the end") << true << "00:01:00" << "Start time error" << 10 << 20;
        QTest::newRow("start earlier") << true << "00:00:03" << "" << 3 << 20;
    }

    void typedTimes()
    {
        QFETCH(bool, typeStart);
        QFETCH(QString, typed);
        QFETCH(QString, message);
        QFETCH(int, start);
        QFETCH(int, end);
        rm::TaskNode* task = AddFile(Source("clip", 30));
        task->item()->trim = {10, 20};
        Open(task);

        DurationEdit* picker = typeStart ? m_clip->StartTime : m_clip->EndTime;
        picker->selectAll();
        QTest::keyClicks(picker, typed);
        QTest::mouseClick(typeStart ? m_clip->start_trimtime_ok : m_clip->end_trimtime_ok, Qt::LeftButton);

        QCOMPARE(m_boxes, message.isEmpty() ? QStringList{} : QStringList{message});
        QCOMPARE(m_clip->CurrentStart(), start);
        QCOMPARE(m_clip->CurrentEnd(), end);
        QCOMPARE(m_clip->StartTrackBar->value(), start);
        QCOMPARE(m_clip->EndTrackBar->value(), end);
        QCOMPARE(Picker(m_clip->StartTime), QString::fromStdString(TimeText(start)));
        QCOMPARE(Picker(m_clip->EndTime), QString::fromStdString(TimeText(end)));
        QCOMPARE(m_clip->Rows().front()->trim.start, start);
        QCOMPARE(m_clip->Rows().front()->trim.end, end);
        QVERIFY(m_clip->isVisible());
    }

    void segmentsBecomeChildRowsOnOK()
    {
        rm::TaskNode* task = AddFile(Source("clip", 30));
        Open(task);
        QCOMPARE(m_clip->SegmentCounter(), 1);

        // Segment_1: 2..8, then Segment_2 from it: 12..20, Segment_3: 20..25, Segment_2 deleted.
        DragBar(m_clip->StartTrackBar, 2);
        DragBar(m_clip->EndTrackBar, 8);
        QTest::mouseClick(m_clip->btnAdd, Qt::LeftButton);
        QCOMPARE(m_clip->SelectedRow(), 1);
        QCOMPARE(QString::fromUtf8(m_clip->Rows()[1]->row.displayName), QStringLiteral("Segment_2"));
        QCOMPARE(QString::fromUtf8(m_clip->Rows()[1]->row.destination), QStringLiteral("clip(2).flv"));
        QCOMPARE(m_clip->Rows()[1]->trim.start, 2);  // the source row's times
        QCOMPARE(m_clip->Rows()[1]->trim.end, 8);
        DragBar(m_clip->EndTrackBar, 20);
        DragBar(m_clip->StartTrackBar, 12);
        QTest::mouseClick(m_clip->btnAdd, Qt::LeftButton);
        DragBar(m_clip->EndTrackBar, 25);
        DragBar(m_clip->StartTrackBar, 20);
        // The position bar gives start and end too.
        Select(1);
        QCOMPARE(m_clip->StartTrackBar->value(), 12);
        QTest::mouseClick(m_clip->btnDelete, Qt::LeftButton);
        QCOMPARE(m_clip->SelectedRow(), 0);  // the row before it
        QCOMPARE(m_clip->StartTrackBar->value(), 2);
        Select(1);
        QCOMPARE(QString::fromUtf8(m_clip->Rows()[1]->row.displayName), QStringLiteral("Segment_3"));
        QTest::mouseClick(m_clip->btnAdd, Qt::LeftButton);  // Segment_4, even though 2 is gone
        QCOMPARE(QString::fromUtf8(m_clip->Rows()[2]->row.displayName), QStringLiteral("Segment_4"));
        QCOMPARE(m_clip->ClipNodeTree->topLevelItem(2)->text(0), QStringLiteral("Segment_4"));
        QCOMPARE(m_clip->ClipNodeTree->topLevelItem(2)->text(3), QStringLiteral("00:00:05"));

        QTest::mouseClick(m_clip->btnOK, Qt::LeftButton);
        QVERIFY(!m_clip->isVisible());
        QCOMPARE(m_clip->SavedTask(), task);
        QCOMPARE(ChildNames(task), (QStringList{"Segment_1", "Segment_3", "Segment_4"}));
        const int expected[][2] = {{2, 8}, {20, 25}, {20, 25}};
        for (int i = 0; i < 3; ++i) {
            const rm::MediaItem& c = *task->child(i)->item();
            QCOMPARE(c.kind, int(rm::kKindSegment));
            QCOMPARE(c.role, int(rm::kRoleSegment));
            QCOMPARE(c.trim.start, expected[i][0]);
            QCOMPARE(c.trim.end, expected[i][1]);
            QCOMPARE(task->child(i)->checkState, Qt::Checked);
        }
        QCOMPARE(QString::fromUtf8(task->child(1)->item()->outputBaseName), QStringLiteral("clip(3)"));
        QCOMPARE(QString::fromUtf8(task->child(0)->item()->row.trimmedLength), QStringLiteral("00:00:06"));
        QCOMPARE(task->item()->segmentCounter, 4);
        QCOMPARE(task->checkState, Qt::Unchecked);
        QVERIFY(task->expanded);
        QVERIFY(m_boxes.isEmpty());
        QTRY_COMPARE(pb::engineInfo().state, pb::PlayState::Closed);
    }

    void openingOnASegmentEditsItsParentsList()
    {
        rm::TaskNode* task = AddFile(Source("clip", 30));
        auto first = rm::MakeSegmentItem(*task->item(), *task->item(), 1);
        first->trim = {1, 5};
        auto second = rm::MakeSegmentItem(*task->item(), *task->item(), 2);
        second->trim = {6, 9};
        m_tree->saveTrim(task, {first.get(), second.get()}, 2);
        QCOMPARE(task->childCount(), 2);

        Open(task->child(1));
        QCOMPARE(m_clip->ClipNodeTree->topLevelItemCount(), 2);
        QCOMPARE(m_clip->SelectedRow(), 1);
        QCOMPARE(m_clip->CurrentStart(), 6);
        QCOMPARE(m_clip->CurrentEnd(), 9);
        QCOMPARE(Picker(m_clip->StartTime), QStringLiteral("00:00:06"));
        QCOMPARE(m_clip->ClipNodeTree->topLevelItem(0)->text(1), QStringLiteral("00:00:01"));
        // The whole source, not the segment, is on the bars.
        QCOMPARE(m_clip->TotalTrackBar->maximum(), 30);

        // Deleting every row and saving leaves the task without children, unchecked.
        QTest::mouseClick(m_clip->btnDelete, Qt::LeftButton);
        QCOMPARE(m_clip->SelectedRow(), 0);
        QTest::mouseClick(m_clip->btnDelete, Qt::LeftButton);
        QCOMPARE(m_clip->SelectedRow(), -1);
        QCOMPARE(m_clip->ClipNodeTree->topLevelItemCount(), 0);
        m_tree->setChecked(task, true);
        m_answerYes = true;  // Cancel, then Yes: saved like OK
        QTest::mouseClick(m_clip->close, Qt::LeftButton);
        QCOMPARE(m_boxes, QStringList{QStringLiteral("Do you want to save changes?")});
        QCOMPARE(task->childCount(), 0);
        QCOMPARE(task->checkState, Qt::Unchecked);
        QCOMPARE(m_clip->SavedTask(), task);
    }

    // A recording of more than a day is trimmed by its real times: the pickers go past 23:59:59.
    void aDayLongRecordingIsTrimmedByItsRealTimes()
    {
        const std::string path = rmtest::sources::Made(
            "day-long.mkv", "-f lavfi -i color=s=64x48:r=1/5:d=90000 -c:v mjpeg");  // 25 hours, a picture every 5 s
        QVERIFY(!path.empty());
        rm::TaskNode* task = AddFile(path);
        QVERIFY(task);
        QCOMPARE(task->item()->media->durationSeconds, 90000);
        Open(task);
        QCOMPARE(m_clip->EndTrackBar->maximum(), 90000);
        QCOMPARE(Picker(m_clip->EndTime), QStringLiteral("25:00:00"));
        QCOMPARE(m_clip->ClipNodeTree->topLevelItem(0)->text(2), QStringLiteral("25:00:00"));
        m_clip->StartTime->selectAll();
        QTest::keyClicks(m_clip->StartTime, QStringLiteral("24:30:05"));
        QTest::mouseClick(m_clip->start_trimtime_ok, Qt::LeftButton);
        QVERIFY(m_boxes.isEmpty());
        QCOMPARE(m_clip->CurrentStart(), 24 * 3600 + 30 * 60 + 5);
        QCOMPARE(m_clip->StartTrackBar->value(), 88205);
        QCOMPARE(m_clip->Rows().front()->trim.start, 88205);
        QCOMPARE(m_clip->ClipNodeTree->topLevelItem(0)->text(1), QStringLiteral("24:30:05"));
        QCOMPARE(m_clip->ClipNodeTree->topLevelItem(0)->text(3), QStringLiteral("00:29:55"));
        // The arrow keys step the part the cursor is in: here the hours.
        m_clip->EndTime->findChild<QLineEdit*>()->setCursorPosition(1);
        QTest::keyClick(m_clip->EndTime, Qt::Key_Down);
        QCOMPARE(Picker(m_clip->EndTime), QStringLiteral("24:00:00"));
        QTest::mouseClick(m_clip->end_trimtime_ok, Qt::LeftButton);
        QCOMPARE(m_boxes, QStringList{QStringLiteral("End time error")});  // before the start
        QCOMPARE(Picker(m_clip->EndTime), QStringLiteral("25:00:00"));
    }

    void groupMembersFollowTheirSegments()
    {
        rm::TaskNode* task = AddFile(Source("clip", 30));
        rm::TaskNode* other = AddFile(Source("other", 2));
        auto s1 = rm::MakeSegmentItem(*task->item(), *task->item(), 1);
        s1->trim = {0, 4};
        auto s2 = rm::MakeSegmentItem(*task->item(), *task->item(), 2);
        s2->trim = {4, 10};
        m_tree->saveTrim(task, {s1.get(), s2.get()}, 2);
        const rm::GroupResult g = m_tree->formGroup(rm::kKindMerge, {task->child(0), task->child(1), other}, false);
        QVERIFY(g.node);
        QCOMPARE(g.node->childCount(), 3);
        const QString before = QString::fromUtf8(g.node->item()->row.trimmedLength);

        // Delete Segment_1, then Cancel with No: nothing changes, the marks are gone.
        Open(task);
        Select(0);
        QTest::mouseClick(m_clip->btnDelete, Qt::LeftButton);
        QCOMPARE(g.node->child(0)->item()->removalMark, uint8_t(1));
        QTest::mouseClick(m_clip->btnCancel, Qt::LeftButton);
        QCOMPARE(ChildNames(task), (QStringList{"Segment_1", "Segment_2"}));
        QCOMPARE(g.node->childCount(), 3);
        QCOMPARE(g.node->child(0)->item()->removalMark, uint8_t(0));
        QCOMPARE(QString::fromUtf8(g.node->item()->row.trimmedLength), before);
        QVERIFY(!m_clip->SavedTask());

        // Now delete Segment_1, stretch Segment_2 to 4..14 and save: its member follows, the other goes.
        m_boxes.clear();
        Open(task);
        Select(0);
        QTest::mouseClick(m_clip->btnDelete, Qt::LeftButton);
        Select(0);
        DragBar(m_clip->EndTrackBar, 14);
        QTest::mouseClick(m_clip->btnOK, Qt::LeftButton);
        QCOMPARE(ChildNames(task), QStringList{"Segment_2"});
        QCOMPARE(g.node->childCount(), 2);
        const rm::MediaItem& member = *g.node->child(0)->item();
        QCOMPARE(QString::fromUtf8(member.outputBaseName), QStringLiteral("clip(2)"));
        QCOMPARE(member.trim.start, 4);
        QCOMPARE(member.trim.end, 14);
        QCOMPARE(member.kind, int(rm::kKindMerge));
        QCOMPARE(QString::fromUtf8(g.node->item()->row.trimmedLength), QStringLiteral("00:00:12"));  // 10 + 2
        QVERIFY(m_boxes.isEmpty());
    }

    void positionReportsWaitForTheSeekHandshake()
    {
        rm::TaskNode* task = AddFile(Source("clip", 30));
        Open(task);
        QTRY_VERIFY_WITH_TIMEOUT(m_clip->TotalTrackBar->value() >= 1, 5000);

        // Pressing the bar stops the engine and holds one report back.
        PressBar(m_clip->TotalTrackBar, 20);
        QCOMPARE(m_clip->Handshake().pending.load(), 1);
        QVERIFY(m_clip->Hold());
        QTRY_VERIFY(pb::engineInfo().state != pb::PlayState::Playing);
        // A report the engine sent before the seek does not move the bar the user holds.
        QCoreApplication::postEvent(m_clip.get(), new WindowMessageEvent(rm::WM_TRIM_POSITION, 3, 0));
        QCoreApplication::sendPostedEvents(m_clip.get());
        QCOMPARE(m_clip->TotalTrackBar->value(), 20);
        QCOMPARE(m_clip->Handshake().pending.load(), 0);
        QVERIFY(m_clip->Handshake().IsRaised());

        // The release plays from there; later reports move the bar again.
        ReleaseBar(m_clip->TotalTrackBar, 20);
        QVERIFY(!m_clip->Hold());
        QCOMPARE(m_clip->Handshake().seekTarget.load(), -1);
        QTRY_VERIFY(pb::engineInfo().state == pb::PlayState::Playing);
        QTRY_VERIFY_WITH_TIMEOUT(m_clip->TotalTrackBar->value() >= 21, 5000);
        QVERIFY(m_clip->Playing());

        // The position gives the start and the end of the segment.
        const int at = m_clip->TotalTrackBar->value();
        QTest::mouseClick(m_clip->btnStop, Qt::LeftButton);
        m_clip->TotalTrackBar->setValue(at);
        QTest::mouseClick(m_clip->btnTrimStart, Qt::LeftButton);
        QCOMPARE(m_clip->StartTrackBar->value(), at);
        m_clip->TotalTrackBar->setValue(at + 3);
        QTest::mouseClick(m_clip->btnTrimEnd, Qt::LeftButton);
        QCOMPARE(m_clip->Rows().front()->trim.start, at);
        QCOMPARE(m_clip->Rows().front()->trim.end, at + 3);
    }

    void draggingABarShowsPicturesNearEachPlaceAndTheReleaseTheExactOne()
    {
        // A keyframe every 5 s: a drag shows the one before each place, the release the place.
        rmtest::FixtureSpec spec;
        spec.width = 160;
        spec.height = 120;
        spec.fpsNum = 5;
        spec.seconds = 20;
        spec.audioCodec = "";
        spec.gop = 25;
        rm::TaskNode* task = AddFile(rmtest::Fixture("gop5s.mp4", spec));
        Open(task);
        QTRY_VERIFY_WITH_TIMEOUT(m_clip->TotalTrackBar->value() >= 1, 5000);
        auto shown = [] {
            const pb::SurfaceFramePtr f = PreviewSurface::Instance()->CurrentFrame();
            return f && !f->idle ? f->position : -1.0;
        };
        for (SkinTrackBar* bar : {m_clip->TotalTrackBar, m_clip->EndTrackBar}) {
            PressBar(bar, 11);
            const QPoint to(bar->KnobCentre(13), bar->height() / 2);
            QMouseEvent move(QEvent::MouseMove, to, bar->mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
                             Qt::NoModifier);
            QApplication::sendEvent(bar, &move);
            QTRY_VERIFY_WITH_TIMEOUT(std::abs(shown() - 10.0) < 0.01, 3000);
            QCOMPARE(pb::engineInfo().state, pb::PlayState::Paused);
            ReleaseBar(bar, 13);
            QTRY_VERIFY_WITH_TIMEOUT(shown() >= 12.99 && shown() < 16, 5000);
            QTRY_COMPARE(pb::engineInfo().state, pb::PlayState::Playing);
        }
    }

    void holdKeepsTheEndOfTheSource()
    {
        rm::TaskNode* task = AddFile(Source("short", 2));
        Open(task);
        // Stop, then Play: hold stays on, so the end is not played again.
        QTest::mouseClick(m_clip->btnStop, Qt::LeftButton);
        QVERIFY(m_clip->Hold());
        QTest::mouseClick(m_clip->btnPlay, Qt::LeftButton);
        QVERIFY(m_clip->Hold());
        QTRY_COMPARE_WITH_TIMEOUT(pb::engineInfo().state, pb::PlayState::Ended, 6000);
        QTest::qWait(400);  // would restart within a report or two
        QCOMPARE(pb::engineInfo().state, pb::PlayState::Ended);

        // The play-segment button releases hold: the end now starts the source again.
        QTest::mousePress(m_clip->btnPlayTrim, Qt::LeftButton);
        QVERIFY(m_clip->Hold());
        QTest::mouseRelease(m_clip->btnPlayTrim, Qt::LeftButton);
        QVERIFY(!m_clip->Hold());
        QTRY_COMPARE(pb::engineInfo().state, pb::PlayState::Playing);
        QTRY_VERIFY_WITH_TIMEOUT(pb::engineInfo().position >= 1.2, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(pb::engineInfo().state == pb::PlayState::Playing && pb::engineInfo().position < 1.0,
                                 5000);
        QTest::qWait(300);
        QVERIFY(pb::engineInfo().state != pb::PlayState::Ended);
    }

    // Not a check: with RM_SCREENSHOT_DIR set, shows the dialog on a real video and writes
    // trim_*.png there.
    void screenshots()
    {
        const QString dir = qEnvironmentVariable("RM_SCREENSHOT_DIR");
        if (dir.isEmpty())
            QSKIP("RM_SCREENSHOT_DIR not set");
        QDir().mkpath(dir);
        ApplyAppStyle(*qApp);
        rmtest::FixtureSpec s;
        s.width = 320;
        s.height = 240;
        s.seconds = 12;
        const std::string path = rmtest::Fixture("holiday.mp4", s);
        rm::TaskNode* task = AddFile(path);
        Open(task);
        DragBar(m_clip->StartTrackBar, 2);
        DragBar(m_clip->EndTrackBar, 7);
        QTest::mouseClick(m_clip->btnAdd, Qt::LeftButton);
        DragBar(m_clip->EndTrackBar, 11);
        DragBar(m_clip->StartTrackBar, 8);
        DragBar(m_clip->TotalTrackBar, 4);
        QTest::qWait(1500);
        QVERIFY(m_clip->grab().save(dir + "/trim_playing.png"));
        QTest::mouseClick(m_clip->btnStop, Qt::LeftButton);
        QTest::qWait(400);
        QVERIFY(m_clip->grab().save(dir + "/trim_stopped.png"));
        m_clip->done(QDialog::Rejected);

        // The other theme (this dialog takes its theme when it is created).
        QVERIFY(rm::SkinTheme::Current().Load(QStringLiteral(RM_APP_DIR "/Images/Sunset.xml")));
        {
            TfrmClip sunset;
            QVERIFY(sunset.SetTarget(m_tree.get(), task));
            sunset.show();
            QVERIFY(QTest::qWaitForWindowExposed(&sunset));
            QTest::qWait(1200);
            QVERIFY(sunset.grab().save(dir + "/trim_sunset.png"));
            sunset.done(QDialog::Rejected);
        }
        QVERIFY(rm::SkinTheme::Current().Load(QStringLiteral(RM_APP_DIR "/Images/DefaultImage.xml")));
    }
};

QTEST_MAIN(TrimDialogTest)
#include "trim_dialog_test.moc"
