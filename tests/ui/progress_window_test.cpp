// The progress window: real short runs started from the main window's Convert (result lines,
// bars, the end with its message and the output folder; cancelling with Yes and with No), and its
// message handlers on their own: progress records, result codes, the end-of-run options with a
// fake power-off (the machine is never really switched off).
#include "convert/conver_thread.h"
#include "engines/converter/converter.h"
#include "engines/messages/result_codes.h"
#include "model/app_settings.h"
#include "model/registry_key.h"
#include "model/task_tree.h"
#include "support/media_fixture.h"
#include "ui/window_test_store.h"
#include "ui/app/app_windows.h"
#include "ui/app/main_form.h"
#include "ui/app/message_boxes.h"
#include "ui/app/task_list_view.h"
#include "ui/convert/convert_form.h"
#include "ui/convert/power_off_countdown.h"
#include "ui/toolkit/image_button.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QProcess>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cmath>
#include <sys/inotify.h>
#include <unistd.h>
#include <limits>

using namespace rm::ui;
using rm::TaskNode;

class ProgressWindowTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_out;
    QString m_a, m_b, m_c, m_long;
    QList<BoxRequest> m_boxes;
    std::function<bool(const BoxRequest&)> m_answer;
    QList<QUrl> m_opened;
    int m_powerOffs = 0;
    bool m_powerOffWorks = true;

    rm::TaskTree* tasks() { return frmMain->Tasks; }

    QStringList lines() const
    {
        return frmConvert->ShowResult->toPlainText().split(u'\n', Qt::SkipEmptyParts);
    }
    QStringList boxTexts() const
    {
        QStringList out;
        for (const BoxRequest& b : m_boxes)
            out << b.text;
        return out;
    }
    static bool full(const QProgressBar* b) { return b->maximum() > 0 && b->value() == b->maximum(); }

    // The list as a user leaves it before pressing Convert: the given files, all checked.
    void listOf(const QStringList& files)
    {
        frmMain->ClearAllClick();
        frmMain->AddFiles(files);
        frmMain->CheckAllClick();
    }

    // The box before the power-off: "Power off now" as soon as it is up.
    void powerOffNowWhenAsked()
    {
        auto* poll = new QTimer(this);
        poll->setInterval(20);
        connect(poll, &QTimer::timeout, this, [poll] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* box = qobject_cast<PowerOffCountdown*>(w); box && box->isVisible()) {
                    box->PowerOffNowButton()->click();
                    poll->stop();
                    poll->deleteLater();
                    return;
                }
        });
        poll->start();
    }

    void showIdle()
    {
        frmConvert->ResetProgress();
        frmConvert->show();
        QVERIFY(QTest::qWaitForWindowExposed(frmConvert));
    }

private slots:
    void initTestCase()
    {
        m_out = m_dir.filePath("out") + "/";
        QVERIFY(rmtest::UseWindowTestStore(m_dir, m_out));

        rmtest::FixtureSpec spec;
        spec.width = 160;
        spec.height = 120;
        spec.seconds = 2.0;
        m_a = QString::fromStdString(rmtest::Fixture("alpha.mp4", spec));
        spec.seconds = 1.0;
        m_b = QString::fromStdString(rmtest::Fixture("bravo.mp4", spec));
        m_c = QString::fromStdString(rmtest::Fixture("charlie.mp4", spec));
        spec.seconds = 6.0;  // long enough to be cancelled while it converts
        spec.width = 320;
        spec.height = 240;
        m_long = QString::fromStdString(rmtest::Fixture("long.mp4", spec));

        SetBoxAnswerer([this](const BoxRequest& r) {
            m_boxes << r;
            return m_answer ? m_answer(r) : true;
        });
        SetUrlOpener([this](const QUrl& u) { m_opened << u; });
        TfrmConvert::SetPowerOff([this] {
            ++m_powerOffs;
            return m_powerOffWorks;
        });
        CreateAppWindows();
        frmMain->show();
        QVERIFY(QTest::qWaitForWindowExposed(frmMain));
        // Outputs go below this test's own folder.
        QVERIFY(frmMain->OutputPath->text().startsWith(m_dir.path()));
    }

    void cleanupTestCase()
    {
        DestroyAppWindows();
        SetBoxAnswerer({});
        SetUrlOpener({});
        TfrmConvert::SetPowerOff({});
        rm::SetProgramFolder({});
        rm::RegistryKey::SetStoreFile({});
    }

    void init()
    {
        m_boxes.clear();
        m_opened.clear();
        m_answer = {};
        m_powerOffs = 0;
        m_powerOffWorks = true;
        frmConvert->ShowPath->setChecked(false);
        frmConvert->ShutDown->setChecked(false);
        rm::TheConvertRun().cancel.store(0);
        rm::TheConvertRun().finishedSeconds.store(0);
    }

    void cleanup()
    {
        if (frmConvert->isVisible())
            frmConvert->hide();
    }

    void aRunFromConvertWritesOneLinePerOutputAndEnds()
    {
        // A file and a merge group of two files: two outputs.
        listOf({m_a, m_b});
        frmMain->SelectOnly(tasks()->topLevel(0));
        frmMain->SelectOnly(tasks()->topLevel(1));
        std::vector<TaskNode*> both{tasks()->topLevel(0), tasks()->topLevel(1)};
        const rm::GroupResult g = tasks()->formGroup(rm::kKindMerge, both, true);
        QVERIFY(g.node);
        tasks()->setChecked(tasks()->topLevel(0), true);
        tasks()->setChecked(g.node, true);
        const QString group = rm::TextOf(g.node->item()->outputBaseName);
        frmConvert->ShowPath->setChecked(true);

        frmMain->btnConvertClick();  // modal until the run has ended

        QVERIFY(!frmConvert->isVisible());
        QCOMPARE(lines(), QStringList({"alpha --> Convert Successful!", group + " --> Convert Successful!"}));
        QCOMPARE(boxTexts(), QStringList({"All conversion takes have been finished!"}));
        QCOMPARE(frmConvert->TotalProgress->maximum(), 2 + 2 + 1);
        QVERIFY(full(frmConvert->TotalProgress));
        QVERIFY(full(frmConvert->OneProgress));
        QCOMPARE(m_opened, QList<QUrl>({QUrl::fromLocalFile(frmMain->OutputPath->text().trimmed())}));
        // Both outputs are on disk (as the saved customisation asks for them), each in its own
        // folder below the output folder.
        QStringList folders = QDir(m_out).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        folders.removeAll(QStringLiteral("ruffle"));  // the players a web-ready run copies
        QCOMPARE(folders.size(), 2);
        for (const QString& name : {QStringLiteral("alpha"), group}) {
            QStringList made;
            QDirIterator it(m_out, {name + ".*"}, QDir::Files, QDirIterator::Subdirectories);
            while (it.hasNext())
                made << QFileInfo(it.next()).fileName();
            QVERIFY2(made.contains(name + ".jpg") && (made.contains(name + ".flv") || made.contains(name + ".swf")),
                     qPrintable(made.join(", ")));
        }
        QVERIFY(frmConvert->Worker() && frmConvert->Worker()->wait(5000));
    }

    void cancellingAsksAndOnlyYesStopsTheRun()
    {
        struct Case {
            bool yes;
        };
        for (const Case k : {Case{false}, Case{true}}) {
            init();
            listOf({m_long, m_b, m_c});
            // The user presses Cancel as soon as the first output shows progress.
            QMetaObject::Connection c = connect(frmConvert->OneProgress, &QProgressBar::valueChanged, this, [&](int v) {
                if (v > 0 && m_boxes.isEmpty())
                    frmConvert->btnCancelClick();
            });
            m_answer = [&](const BoxRequest& r) { return r.kind == BoxKind::Question ? k.yes : true; };
            // Every job folder the run makes (an empty one is removed again) shows in the
            // kernel's record of what was created in the output folder. The folder starts empty:
            // a job folder of the case before, made in the same second, would be reused rather
            // than created.
            QDir(m_out).removeRecursively();
            QDir().mkpath(m_out);
            const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
            QVERIFY(watch >= 0 && inotify_add_watch(watch, QFile::encodeName(m_out).constData(), IN_CREATE) >= 0);
            frmMain->btnConvertClick();
            disconnect(c);
            QVERIFY(frmConvert->Worker() && frmConvert->Worker()->wait(60000));
            QStringList started;
            alignas(inotify_event) char buf[16384];
            for (ssize_t n; (n = read(watch, buf, sizeof buf)) > 0;)
                for (ssize_t at = 0; at < n;) {
                    const auto* ev = reinterpret_cast<const inotify_event*>(buf + at);
                    // Job folders (not the players' folder a web-ready run copies, made under a
                    // hidden name and then renamed).
                    if ((ev->mask & IN_ISDIR) && ev->len && ev->name[0] != '.' && QLatin1String(ev->name) != QLatin1String("ruffle"))
                        started << QString::fromLocal8Bit(ev->name).section(u'-', 0, 0);
                    at += ssize_t(sizeof(inotify_event) + ev->len);
                }
            close(watch);

            QVERIFY(!m_boxes.isEmpty());
            QCOMPARE(m_boxes.front().kind, BoxKind::Question);
            QCOMPARE(m_boxes.front().caption, QStringLiteral("Information"));
            QCOMPARE(m_boxes.front().text, QStringLiteral("Cancel Conversion?"));
            QVERIFY(!frmConvert->isVisible());
            QVERIFY(full(frmConvert->TotalProgress));
            if (k.yes) {
                // No further row was started after the answer; no finish message.
                QCOMPARE(rm::TheConvertRun().cancel.load(), 1);
                QCOMPARE(started, QStringList({"long"}));
                for (const QString& line : lines())
                    QVERIFY2(line.startsWith(QStringLiteral("long -->")), qPrintable(lines().join(" | ")));
                QCOMPARE(boxTexts(), QStringList({"Cancel Conversion?"}));
            } else {
                QCOMPARE(rm::TheConvertRun().cancel.load(), 0);
                QCOMPARE(lines(), QStringList({"long --> Convert Successful!", "bravo --> Convert Successful!",
                                               "charlie --> Convert Successful!"}));
                QCOMPARE(boxTexts(), QStringList({"Cancel Conversion?", "All conversion takes have been finished!"}));
                QCOMPARE(started, QStringList({"long", "bravo", "charlie"}));
            }
        }
    }

    void progressRecordsMoveBothBars()
    {
        showIdle();
        frmConvert->TotalProgress->setRange(0, 200);
        frmConvert->WMConvertOneMax(100);
        rm::TheConvertRun().finishedSeconds.store(30);
        struct Case {
            double position;
            int one, total;  // -1: unchanged from the row before
        };
        const Case cases[] = {
            {59.9, 59, 89},
            {18000.0, -1, -1},
            {1e9, -1, -1},
            {std::numeric_limits<double>::quiet_NaN(), -1, -1},
            {0.4, 0, 30},
        };
        int one = frmConvert->OneProgress->value(), total = frmConvert->TotalProgress->value();
        for (const Case& k : cases) {
            rm::converter::ConvertProgress rec;
            rec.Position = k.position;
            frmConvert->WMConvertProgress(&rec);
            if (k.one >= 0) {
                one = k.one;
                total = k.total;
            }
            QCOMPARE(frmConvert->OneProgress->value(), one);
            QCOMPARE(frmConvert->TotalProgress->value(), total);
        }
        // The worker's end of an output fills the current bar.
        frmConvert->WMConvertOnePos(100);
        QCOMPARE(frmConvert->OneProgress->value(), 100);
    }

    void resultCodesGiveLinesOrEndTheWindowsPart()
    {
        showIdle();
        frmConvert->WMConvertResult(0, "clip");
        frmConvert->WMConvertResult(rm::messages::kResultSourceOpenFailed, "other");
        // A player that could not be written and a file-size limit are lines like any failure
        // (only a full disk ends the window's part).
        frmConvert->WMConvertResult(rm::messages::kResultPlayerWriteFailed, "noplayer");
        frmConvert->WMConvertResult(rm::messages::kResultOutputTooLarge, "big");
        // A damaged source: the output is there, the line says where it shows a still picture.
        rm::messages::setErrorDetail(rm::messages::kResultSourceDamaged,
                                     "The source is damaged between 00:00:30 and 00:01:15; that stretch shows a "
                                     "still picture.");
        frmConvert->WMConvertResult(rm::messages::kResultSourceDamaged, "damaged");
        QCOMPARE(lines(), QStringList({"clip --> Convert Successful!",
                                       QStringLiteral("other --> ") +
                                           QString::fromUtf8(rm::messages::getErrorInfo(10001, 0, 1)),
                                       "noplayer --> The video was converted, but its Flash player could not be written.",
                                       "big --> The output file is too large for this disk or limit.",
                                       "damaged --> The source is damaged between 00:00:30 and 00:01:15; that stretch "
                                       "shows a still picture."}));
        QVERIFY(m_boxes.isEmpty());
        QVERIFY(frmConvert->isVisible());

        // Result 10053: the engine's text in a box, the run given up, the window closed, no line.
        frmConvert->WMConvertResult(rm::messages::kResultDiskFull, "third");
        QCOMPARE(boxTexts(), QStringList({QString::fromUtf8(rm::messages::getErrorInfo(10053, 0, 1))}));
        QCOMPARE(rm::TheConvertRun().cancel.load(), 2);
        QVERIFY(!frmConvert->isVisible());
        QCOMPARE(lines().size(), 5);
        // What the worker reports afterwards contradicts nothing: no line in the closed window,
        // no bar moves, and its end brings no finish message (nor a shutdown).
        m_boxes.clear();
        frmConvert->ShutDown->setChecked(true);
        const int one = frmConvert->OneProgress->value();
        frmConvert->WMConvertResult(0, "fourth");
        rm::converter::ConvertProgress rec{};
        rec.Position = 1.0;
        frmConvert->WMConvertProgress(&rec);
        frmConvert->WMConvertDone();
        QVERIFY(m_boxes.isEmpty());
        QCOMPARE(m_powerOffs, 0);
        QCOMPARE(lines().size(), 5);
        QCOMPARE(frmConvert->OneProgress->value(), one);
        QVERIFY(!frmConvert->isVisible());
    }

    void aFullDiskIsTheRunsLastWord()
    {
        // A real run into an output folder on a tiny disk (needs the right to mount).
        const QString disk = m_dir.filePath("tiny");
        QVERIFY(QDir().mkpath(disk));
        if (QProcess::execute(QStringLiteral("mount"), {"-t", "tmpfs", "-o", "size=64k", "tmpfs", disk}) != 0)
            QSKIP("no right to mount a small disk here");
        const QString savedOutput = rm::TheAppSettings().outputFolder;
        rm::TheAppSettings().outputFolder = disk + "/";
        listOf({m_long, m_b, m_c});
        // Job folders that hold nothing are removed again, so the kernel's own record of what
        // was created in the output folder tells which videos the run started.
        const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        QVERIFY(watch >= 0 && inotify_add_watch(watch, QFile::encodeName(disk).constData(), IN_CREATE) >= 0);
        frmMain->btnConvertClick();  // returns when the window closes after the box
        QVERIFY(frmConvert->Worker() && frmConvert->Worker()->wait(60000));
        QTest::qWait(50);  // the worker's last messages
        QCoreApplication::processEvents();
        QStringList folders;
        alignas(inotify_event) char buf[16384];
        for (ssize_t n; (n = read(watch, buf, sizeof buf)) > 0;)
            for (ssize_t at = 0; at < n;) {
                const auto* ev = reinterpret_cast<const inotify_event*>(buf + at);
                if ((ev->mask & IN_ISDIR) && ev->len)
                    folders << QString::fromLocal8Bit(ev->name);
                at += ssize_t(sizeof(inotify_event) + ev->len);
            }
        close(watch);
        const bool leftEmpty = QDir(disk).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
        rm::TheAppSettings().outputFolder = savedOutput;
        QProcess::execute(QStringLiteral("umount"), {disk});

        QCOMPARE(boxTexts(), QStringList({QString::fromUtf8(rm::messages::getErrorInfo(10053, 0, 1))}));
        QVERIFY2(lines().isEmpty(), qPrintable(lines().join(" | ")));
        QVERIFY(!frmConvert->isVisible());
        QCOMPARE(rm::TheConvertRun().cancel.load(), 2);
        // The run gave up: the other two videos were not started (and the empty folder is gone).
        QCOMPARE(folders.size(), 1);
        QVERIFY(leftEmpty);
        QVERIFY(folders.front().startsWith(QStringLiteral("long")));
    }

    void aCancelQuestionLeftOpenClosesWhenTheRunEnds()
    {
        // The user presses Cancel and leaves the question open; the run ends by itself meanwhile.
        listOf({m_b, m_c});
        bool askedOnce = false, withdrawn = false;
        QList<bool> questionOpenAtMessage;
        QMetaObject::Connection c = connect(frmConvert->OneProgress, &QProgressBar::valueChanged, this, [&](int v) {
            if (v > 0 && !askedOnce) {
                askedOnce = true;
                frmConvert->btnCancelClick();
            }
        });
        m_answer = [&](const BoxRequest& r) {
            if (r.kind != BoxKind::Question) {
                questionOpenAtMessage << QuestionOpen(frmConvert);
                return true;
            }
            QElapsedTimer t;
            t.start();
            while (QuestionOpen(frmConvert) && t.elapsed() < 60000)
                QTest::qWait(10);
            withdrawn = !QuestionOpen(frmConvert);
            return true;  // a late Yes
        };
        frmMain->btnConvertClick();
        disconnect(c);

        QVERIFY(askedOnce);
        QVERIFY(withdrawn);
        QCOMPARE(boxTexts(), QStringList({"Cancel Conversion?", "All conversion takes have been finished!"}));
        QCOMPARE(questionOpenAtMessage, QList<bool>({false}));
        // The late Yes cancelled nothing: both outputs were made and the window is closed.
        QCOMPARE(rm::TheConvertRun().cancel.load(), 0);
        QCOMPARE(lines(), QStringList({"bravo --> Convert Successful!", "charlie --> Convert Successful!"}));
        QVERIFY(!frmConvert->isVisible());
        QVERIFY(!QuestionOpen(frmConvert));
    }

    void theEndOfARunFollowsItsOptions()
    {
        struct Case {
            const char* what;
            int cancel;
            bool shutDown, showPath, powerOffWorks;
            int powerOffs;
            QStringList boxes;
            bool opened;
        };
        const QString finished = QStringLiteral("All conversion takes have been finished!");
        const Case cases[] = {
            {"cancelled", 1, true, true, true, 0, {}, false},
            {"shutdown and folder", 0, true, true, true, 1, {}, false},
            // The computer stays on: the run still ends with its message.
            {"shutdown refused", 0, true, false, false, 1, {"Fail to shutdown computer!", finished}, false},
            {"folder", 0, false, true, true, 0, {finished}, true},
            {"nothing ticked", 0, false, false, true, 0, {finished}, false},
        };
        for (const Case& k : cases) {
            init();
            showIdle();
            frmConvert->TotalProgress->setRange(0, 40);
            frmConvert->TotalProgress->setValue(12);
            frmConvert->WMConvertOneMax(20);
            rm::TheConvertRun().cancel.store(k.cancel);
            frmConvert->ShutDown->setChecked(k.shutDown);
            frmConvert->ShowPath->setChecked(k.showPath);
            m_powerOffWorks = k.powerOffWorks;
            if (k.shutDown && k.cancel != 1)
                powerOffNowWhenAsked();
            frmConvert->WMConvertDone();
            QVERIFY2(!frmConvert->isVisible(), k.what);
            QVERIFY2(m_powerOffs == k.powerOffs, k.what);
            QVERIFY2(boxTexts() == k.boxes, k.what);
            QVERIFY2(m_opened.isEmpty() != k.opened, k.what);
            QVERIFY2(!frmConvert->ShutDown->isChecked(), k.what);  // for one run only
            if (!k.powerOffWorks) {
                QCOMPARE(m_boxes.front().kind, BoxKind::Error);
                QCOMPARE(m_boxes.front().caption, QStringLiteral("Shutdown Computer"));
                QVERIFY(m_boxes.front().owner == nullptr);
            }
            if (k.cancel == 1 || !k.shutDown)
                QVERIFY2(full(frmConvert->TotalProgress) && full(frmConvert->OneProgress), k.what);
        }
    }

    void theCloseButtonOnlyAsksToCancel()
    {
        showIdle();
        m_answer = [](const BoxRequest&) { return false; };
        frmConvert->close->click();
        QCOMPARE(rm::TheConvertRun().cancel.load(), 0);
        m_answer = [](const BoxRequest&) { return true; };
        frmConvert->btnCancel->click();
        QCOMPARE(rm::TheConvertRun().cancel.load(), 1);
        QVERIFY(frmConvert->isVisible());  // open until the worker reports the end
        QCOMPARE(boxTexts(), QStringList({"Cancel Conversion?", "Cancel Conversion?"}));
    }
};

QTEST_MAIN(ProgressWindowTest)
#include "progress_window_test.moc"
