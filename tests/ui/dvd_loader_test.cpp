// The DVD loader on a disc authored at test time: the title tree, the track lists and buttons that
// follow the selection, previous/next stepping with a playing preview, the position bar, OK
// turning checked titles and chapters into probed tasks, and the messages for folders that hold
// no DVD.
#include "engines/dvd/dvd_fixture.h"
#include "support/test_env.h"
#include "engines/dvd/dvd_reader.h"
#include "engines/playback/playback_engine.h"
#include "model/app_settings.h"
#include "model/registry_key.h"
#include "model/skin_theme.h"
#include "model/task_tree.h"
#include "ui/app/message_boxes.h"
#include "ui/editors/dvd_form.h"
#include "ui/toolkit/image_button.h"
#include "ui/toolkit/skin_track_bar.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QProcess>
#include <QMenu>
#include <QMouseEvent>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include <filesystem>
#include <fstream>

using namespace rm::ui;
namespace pb = rm::playback;

// Counts the progress boxes shown anywhere in the application (the show event is sent
// synchronously, so none is missed however short its life).
class ShowWatcher : public QObject {
public:
    int shown = 0;
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        if (e->type() == QEvent::Show && watched->inherits("QProgressDialog"))
            ++shown;
        return false;
    }
};

class DvdLoaderTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QStringList m_boxes;
    std::string m_disc;
    std::unique_ptr<TfrmDVD> m_dvd;
    std::unique_ptr<rm::TaskTree> m_tree;

    QTreeWidgetItem* Row(int title, int chapter = -1) const
    {
        QTreeWidgetItem* root = m_dvd->RootRow();
        if (title < 0)
            return root;
        QTreeWidgetItem* t = root->child(title);
        return chapter < 0 ? t : t->child(chapter);
    }

    void Open()
    {
        QCOMPARE(m_dvd->LoadDisc(QString::fromStdString(m_disc)), rm::dvd::kDvdOk);
        m_dvd->SetTaskTree(m_tree.get());
        m_dvd->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_dvd.get()));
    }

    static void PressBar(SkinTrackBar* bar, int value, bool press)
    {
        const QPoint at(bar->KnobCentre(value), bar->height() / 2);
        QMouseEvent e(press ? QEvent::MouseButtonPress : QEvent::MouseButtonRelease, at, bar->mapToGlobal(at),
                      Qt::LeftButton, press ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(bar, &e);
    }

    QStringList TaskBases() const
    {
        QStringList out;
        for (int i = 0; i < m_tree->topLevelCount(); ++i)
            out << QString::fromUtf8(m_tree->topLevel(i)->item()->row.destination);
        return out;
    }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QDir(TfrmDVD::ExtractFolder()).removeRecursively();
        rm::RegistryKey::SetStoreFile(m_dir.filePath("store.conf"));
        rm::SetProgramFolder(QStringLiteral(RM_APP_DIR "/"));
        QVERIFY(rm::SkinTheme::Current().Load(QStringLiteral(RM_APP_DIR "/Images/DefaultImage.xml")));
        SetBoxAnswerer([this](const BoxRequest& r) {
            m_boxes << r.text;
            return false;
        });
        m_dvd = std::make_unique<TfrmDVD>();
        if (!rmtest::HaveDvdAuthor())
            {
            if (rmtest::UnderCTest())
                QFAIL("dvdauthor is not installed: apt-get install dvdauthor (scripts/setup.sh installs it)");
            QSKIP("dvdauthor is not installed: apt-get install dvdauthor (scripts/setup.sh installs it)");
        }
        std::string error;
        m_disc = rmtest::AuthoredDvd(&error);
        QVERIFY2(!m_disc.empty(), error.c_str());
    }

    void cleanupTestCase()
    {
        m_dvd.reset();
        SetBoxAnswerer({});
        pb::close_sdl();
        QDir(TfrmDVD::ExtractFolder()).removeRecursively();
    }

    void init()
    {
        m_boxes.clear();
        m_tree = std::make_unique<rm::TaskTree>();
    }

    void cleanup()
    {
        if (m_dvd->isVisible())
            m_dvd->done(QDialog::Rejected);
        m_dvd->ClearTitles();
        m_tree.reset();
    }

    void treeShowsDiscTitlesAndChapters()
    {
        Open();
        QTreeWidget* t = m_dvd->NodeTree;
        QCOMPARE(t->topLevelItemCount(), 1);
        QTreeWidgetItem* root = m_dvd->RootRow();
        QCOMPARE(root->text(0), QStringLiteral("dvd_disc"));
        QCOMPARE(root->childCount(), 2);
        QCOMPARE(root->child(0)->childCount(), 2);
        QCOMPARE(root->child(1)->childCount(), 1);
        const rm::dvd::DvdDisc& disc = m_dvd->Disc();
        const struct {
            QTreeWidgetItem* row;
            const char* name;
            double seconds;
            const char* destination;
            Qt::CheckState check;
        } rows[] = {
            {Row(0), "Title 1", disc.titles[0].lengthSeconds, "title_01.vob", Qt::Checked},
            {Row(0, 0), "Chapter 1", disc.titles[0].chapters[0].lengthSeconds, "title_01_chapter_01.vob", Qt::Unchecked},
            {Row(0, 1), "Chapter 2", disc.titles[0].chapters[1].lengthSeconds, "title_01_chapter_02.vob", Qt::Unchecked},
            {Row(1), "Title 2", disc.titles[1].lengthSeconds, "title_02.vob", Qt::Checked},
            {Row(1, 0), "Chapter 1", disc.titles[1].chapters[0].lengthSeconds, "title_02_chapter_01.vob", Qt::Unchecked},
        };
        for (const auto& r : rows) {
            QCOMPARE(r.row->text(0), QString::fromLatin1(r.name));
            QCOMPARE(r.row->text(1), QString::fromStdString(rm::DurationToText(float(r.seconds))));
            QCOMPARE(r.row->text(3), QString::fromLatin1(r.destination));
            QCOMPARE(r.row->checkState(0), r.check);
            QCOMPARE(int(m_dvd->ItemOf(r.row)->kind), int(rm::kKindFile));
        }
        QCOMPARE(t->headerItem()->text(3), QStringLiteral("Distination File"));
        QCOMPARE(t->columnWidth(2), 10);
        QCOMPARE(t->columnWidth(3), 10);

        // Checking flips the stored byte; the menu's entries check, uncheck, show and hide.
        Row(0, 1)->setCheckState(0, Qt::Checked);
        QCOMPARE(int(m_dvd->ItemOf(Row(0, 1))->row.checkState), int(rm::kCheckStateChecked));
        Row(0)->setCheckState(0, Qt::Unchecked);
        QCOMPARE(int(m_dvd->ItemOf(Row(0))->row.checkState), int(rm::kCheckStateUnchecked));
        const QList<QAction*> menu = m_dvd->DVD_Menu->actions();
        QCOMPARE(menu.size(), 5);
        QCOMPARE(menu[0]->text(), QStringLiteral("CheckAll    "));
        menu[1]->trigger();
        for (const auto& r : rows)
            QCOMPARE(int(m_dvd->ItemOf(r.row)->row.checkState), int(rm::kCheckStateUnchecked));
        menu[3]->trigger();
        QVERIFY(Row(0)->isExpanded() && Row(1)->isExpanded());
        menu[4]->trigger();
        QVERIFY(root->isExpanded() && !Row(0)->isExpanded() && !Row(1)->isExpanded());
    }

    void selectionSetsListsAndButtons()
    {
        Open();
        m_dvd->showChapterClick();
        QTreeWidget* t = m_dvd->NodeTree;
        // The disc row: nothing to pick, nothing to play.
        t->setCurrentItem(Row(-1));
        QVERIFY(!m_dvd->audioCmb->isEnabled() && !m_dvd->sutitleCmb->isEnabled());
        QVERIFY(!m_dvd->btnPlay->isEnabled() && !m_dvd->btnPre->isEnabled() && !m_dvd->btnNext->isEnabled());

        t->setCurrentItem(Row(0));
        QVERIFY(m_dvd->audioCmb->isEnabled() && m_dvd->sutitleCmb->isEnabled());
        QCOMPARE(m_dvd->audioCmb->count(), 1);
        QCOMPARE(m_dvd->audioCmb->itemText(0), QStringLiteral("1: English MPEG-1 2ch"));
        QCOMPARE(m_dvd->sutitleCmb->count(), 1);
        QCOMPARE(m_dvd->sutitleCmb->itemText(0), QStringLiteral("None"));
        QCOMPARE(m_dvd->DVDTrackBar->maximum(), int(std::ceil(m_dvd->Disc().titles[0].lengthSeconds)));

        // (row, play, pre, next); -1: as the row before left it.
        const struct {
            QTreeWidgetItem* row;
            int play, pre, next;
        } steps[] = {
            {Row(0), 1, 0, 1},      // the first title
            {Row(0, 0), 1, 1, 1},   // a row with a next sibling
            {Row(1), 1, 1, 1},      // a last title with chapters: pre as it was (enabled)
            {Row(0), 1, 0, 1},
            {Row(0, 1), 1, 0, 1},   // a last chapter whose title has a next sibling: unchanged
            {Row(1, 0), 1, 1, 0},   // any other last row
            {Row(1), 1, 1, 1},      // next enabled again, pre as it was
        };
        for (const auto& s : steps) {
            t->setCurrentItem(s.row);
            QCOMPARE(int(m_dvd->btnPlay->isEnabled()), s.play);
            QCOMPARE(int(m_dvd->btnPre->isEnabled()), s.pre);
            QCOMPARE(int(m_dvd->btnNext->isEnabled()), s.next);
        }
        // With no row selected the buttons do nothing.
        t->setCurrentItem(nullptr);
        m_dvd->btnPlayClick();
        m_dvd->btnNextClick();
        QVERIFY(!m_dvd->Playing());
    }

    void stepsThroughRowsWhilePlaying()
    {
        Open();
        m_dvd->showChapterClick();
        QTreeWidget* t = m_dvd->NodeTree;
        t->setCurrentItem(Row(0));
        QTest::mouseClick(m_dvd->btnPlay, Qt::LeftButton);
        QVERIFY(m_dvd->Playing() && m_dvd->Opened());
        QVERIFY(m_dvd->btnStop->isEnabled());
        QVERIFY(m_dvd->DVDPlayPanel->isVisible());
        QTRY_COMPARE(pb::engineInfo().state, pb::PlayState::Playing);
        QTest::mouseClick(m_dvd->btnPlay, Qt::LeftButton);
        QVERIFY(!m_dvd->Playing());
        QTRY_COMPARE(pb::engineInfo().state, pb::PlayState::Paused);

        QTreeWidgetItem* forward[] = {Row(0, 0), Row(0, 1), Row(1), Row(1, 0), Row(1, 0)};
        for (QTreeWidgetItem* expected : forward) {
            m_dvd->btnNextClick();
            QCOMPARE(t->currentItem(), expected);
            QVERIFY(m_dvd->Playing());
            QTRY_COMPARE(pb::engineInfo().state, pb::PlayState::Playing);
        }
        // The preview plays the selected chapter's own stream.
        QVERIFY(QFileInfo::exists(m_dvd->StreamPathOf(Row(1, 0))));
        QTRY_COMPARE(pb::engineInfo().sourceWidth, 720);
        QTreeWidgetItem* back[] = {Row(1), Row(0, 1), Row(0, 0), Row(0), Row(0)};
        for (QTreeWidgetItem* expected : back) {
            m_dvd->btnPreClick();
            QCOMPARE(t->currentItem(), expected);
        }
        // Collapsed titles are stepped over.
        m_dvd->hideChapterClick();
        t->setCurrentItem(Row(0));
        m_dvd->btnNextClick();
        QCOMPARE(t->currentItem(), Row(1));
        m_dvd->btnPreClick();
        QCOMPARE(t->currentItem(), Row(0));

        // Stop: bar at 0, idle engine, stop disabled.
        QTest::mouseClick(m_dvd->btnStop, Qt::LeftButton);
        QVERIFY(!m_dvd->Playing() && !m_dvd->Opened());
        QVERIFY(!m_dvd->btnStop->isEnabled());
        QCOMPARE(m_dvd->DVDTrackBar->value(), 0);
    }

    void positionBarAndEndOfTitle()
    {
        Open();
        m_dvd->NodeTree->setCurrentItem(Row(0));
        QTest::mouseClick(m_dvd->btnPlay, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(m_dvd->DVDTrackBar->value() >= 1, 5000);
        // Released at its maximum: playback stops and the bar returns to 0.
        SkinTrackBar* bar = m_dvd->DVDTrackBar;
        PressBar(bar, bar->maximum(), true);
        QVERIFY(m_dvd->Dragging());
        PressBar(bar, bar->maximum(), false);
        QVERIFY(!m_dvd->Dragging());
        QVERIFY(!m_dvd->Playing());
        QCOMPARE(bar->value(), 0);
        QTRY_VERIFY(pb::engineInfo().state != pb::PlayState::Playing);
        // Released when not playing: back to 0.
        PressBar(bar, 2, true);
        PressBar(bar, 2, false);
        QCOMPARE(bar->value(), 0);

        // A seek inside the title plays on from there; the end of the title brings the play look back.
        QTest::mouseClick(m_dvd->btnPlay, Qt::LeftButton);
        QVERIFY(m_dvd->Playing());
        QTRY_COMPARE(pb::engineInfo().state, pb::PlayState::Playing);
        PressBar(bar, 1, true);
        PressBar(bar, 1, false);
        QVERIFY(m_dvd->Playing());
        QTRY_VERIFY(pb::engineInfo().state == pb::PlayState::Playing && pb::engineInfo().position >= 0.9);
        QTRY_VERIFY_WITH_TIMEOUT(!m_dvd->Playing(), 8000);
        QVERIFY(!m_dvd->Opened());
    }

    void okMakesOneProbedTaskPerCheckedRow()
    {
        // Whatever was in the task list goes.
        rmtest::FixtureSpec small;
        small.width = 160;
        small.height = 120;
        small.seconds = 1;
        m_tree->addFiles({QString::fromStdString(rmtest::Fixture("before.mp4", small))}, false);
        QCOMPARE(m_tree->topLevelCount(), 1);
        Open();
        m_dvd->CheckAllClick();
        // A destination with several dots keeps only what comes before the first.
        rm::SetText(m_dvd->ItemOf(Row(1, 0))->row.destination, "a.b.c");
        QTest::mouseClick(m_dvd->btnOK, Qt::LeftButton);
        QVERIFY(!m_dvd->isVisible());
        QVERIFY(m_dvd->OkDone());
        QCOMPARE(TaskBases(), (QStringList{"title_01.flv", "title_01_chapter_01.flv", "title_01_chapter_02.flv",
                                           "title_02.flv", "a.flv"}));
        const rm::dvd::DvdDisc& disc = m_dvd->Disc();
        const double lengths[] = {disc.titles[0].lengthSeconds, disc.titles[0].chapters[0].lengthSeconds,
                                  disc.titles[0].chapters[1].lengthSeconds, disc.titles[1].lengthSeconds,
                                  disc.titles[1].chapters[0].lengthSeconds};
        for (int i = 0; i < m_tree->topLevelCount(); ++i) {
            const rm::MediaItem& task = *m_tree->topLevel(i)->item();
            QCOMPARE(int(task.kind), int(rm::kKindFile));
            QCOMPARE(int(task.row.checkState), int(rm::kCheckStateChecked));
            QCOMPARE(int(task.row.checkType), int(rm::kCheckTypePlain));  // a box, as file tasks have
            QVERIFY(task.media && task.media->probed == 1);
            QVERIFY(std::filesystem::is_regular_file(task.SourcePath()));
            QCOMPARE(task.media->width, 720);
            QCOMPARE(task.media->height, 480);
            // The sound runs a little ahead of the pictures in a program stream cut at a chapter.
            QVERIFY2(std::abs(task.media->duration - lengths[i]) < 0.7,
                     qPrintable(QStringLiteral("%1: %2 vs %3").arg(i).arg(task.media->duration).arg(lengths[i])));
            QVERIFY(task.trim.end >= int(lengths[i]));
        }
        QVERIFY(m_boxes.isEmpty());

        // A chapter's task converts like any file (the command-line companion runs the same converter).
        const QString out = m_dir.filePath("converted");
        QProcess cli;
        cli.start(QStringLiteral(RM_APP_DIR "/reelmaker-cli"),
                  {"convert", "--output", out, "--no-swf", "--no-html", "--no-thumbnail",
                   QString::fromStdString(m_tree->topLevel(2)->item()->SourcePath())});
        QVERIFY(cli.waitForFinished(120000));
        QVERIFY2(cli.exitCode() == 0, cli.readAllStandardError().constData());
        QVERIFY(QString::fromUtf8(cli.readAllStandardOutput()).contains(QStringLiteral("Convert Successful!")));
        QDirIterator flv(out, {QStringLiteral("*.flv")}, QDir::Files, QDirIterator::Subdirectories);
        QVERIFY(flv.hasNext());
        QVERIFY(QFileInfo(flv.next()).size() > 10000);
    }

    void longCopiesRunBesideAProgressBox()
    {
        // Every copy counts as long here: the progress box comes and goes, the tasks are the same.
        TfrmDVD::SetProgressFrom(0);
        QDir(TfrmDVD::ExtractFolder()).removeRecursively();
        Open();
        // Every show of a progress box is seen, however briefly it stays.
        ShowWatcher watcher;
        qApp->installEventFilter(&watcher);
        m_dvd->btnOKClick();
        qApp->removeEventFilter(&watcher);
        TfrmDVD::SetProgressFrom(48ll << 20);
        QCOMPARE(watcher.shown, 2);  // one per title copied
        QCOMPARE(TaskBases(), (QStringList{"title_01.flv", "title_02.flv"}));
        for (int i = 0; i < m_tree->topLevelCount(); ++i)
            QVERIFY(m_tree->topLevel(i)->item()->media->probed == 1);
    }

    void uncheckedRowsAndTheDiscRowMakeNoTask()
    {
        Open();
        Row(1)->setCheckState(0, Qt::Unchecked);
        Row(0, 1)->setCheckState(0, Qt::Checked);
        m_dvd->btnOKClick();
        QCOMPARE(TaskBases(), (QStringList{"title_01.flv", "title_01_chapter_02.flv"}));
        // Cancel leaves the task list alone.
        Open();
        QTest::mouseClick(m_dvd->btnCancel, Qt::LeftButton);
        QVERIFY(!m_dvd->isVisible());
        QVERIFY(!m_dvd->OkDone() || m_tree->topLevelCount() == 2);
        QCOMPARE(m_tree->topLevelCount(), 2);
    }

    void foldersWithoutDvdAreRefused()
    {
        const QString empty = m_dir.filePath("empty");
        QDir().mkpath(empty);
        const QString garbage = m_dir.filePath("garbage/VIDEO_TS");
        QDir().mkpath(garbage);
        std::ofstream((garbage + "/VIDEO_TS.IFO").toStdString()) << "not an IFO";
        const struct {
            QString path;
            int32_t code;
        } cases[] = {
            {m_dir.filePath("missing"), rm::dvd::kDvdNoPath},
            {empty, rm::dvd::kDvdNotVideoDvd},
            {garbage + "/VIDEO_TS.IFO", rm::dvd::kDvdNotVideoDvd},
        };
        for (const auto& c : cases) {
            m_boxes.clear();
            QVERIFY(!m_dvd->RunFor(c.path, *m_tree));
            QCOMPARE(m_boxes, QStringList{QString::fromUtf8(rm::dvd::dvdErrorText(c.code))});
            QVERIFY(!m_dvd->isVisible());
            QCOMPARE(m_dvd->NodeTree->topLevelItemCount(), 0);
        }
    }

    // Pictures for a person to look at (only when RM_SCREENSHOT_DIR is set).
    void screenshots()
    {
        const QString dir = qEnvironmentVariable("RM_SCREENSHOT_DIR");
        if (dir.isEmpty())
            QSKIP("RM_SCREENSHOT_DIR not set");
        QDir().mkpath(dir);
        Open();
        m_dvd->showChapterClick();
        Row(0, 1)->setCheckState(0, Qt::Checked);
        m_dvd->NodeTree->setCurrentItem(Row(-1));
        QTest::qWait(300);
        QVERIFY(m_dvd->grab().save(dir + "/dvd_loader.png"));
        m_dvd->NodeTree->setCurrentItem(Row(0));
        m_dvd->NodeTree->setCurrentItem(Row(0, 0));
        QTest::mouseClick(m_dvd->btnPlay, Qt::LeftButton);
        QTest::qWait(700);
        QVERIFY(m_dvd->grab().save(dir + "/dvd_playing.png"));
    }
};

QTEST_MAIN(DvdLoaderTest)
#include "dvd_loader_test.moc"
