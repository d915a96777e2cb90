// Task lists from the main window: a list with every kind of task saved and opened again, run by
// the window and by reelmaker-cli with the same outputs; damaged and newer lists refused with
// their messages; the list kept across sessions (restored without asking after a normal close,
// offered back after a crash, not restored when turned off); and a real program killed in the
// middle of a run of three tasks, whose list comes back with the first task done, the second
// interrupted and the third waiting, and whose rest converts to exactly the missing outputs.
//
// The killed program is this test's executable started again in "child" mode: it builds the
// real windows, opens the list and presses Convert, as the program does.
#include "model/app_settings.h"
#include "model/registry_key.h"
#include "model/task_list_file.h"
#include "model/task_list_keeper.h"
#include "model/task_tree.h"
#include "support/media_fixture.h"
#include "ui/app/app_windows.h"
#include "ui/app/main_form.h"
#include "ui/app/message_boxes.h"
#include "ui/app/task_list_view.h"
#include "ui/convert/convert_form.h"
#include "ui/window_test_store.h"

#include <QApplication>
#include <QCheckBox>
#include <QPlainTextEdit>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <map>

using namespace rm::ui;
using rm::TaskNode;


namespace {
// The job folders of an output folder (a web-ready run also puts the players' `ruffle` there).
QStringList JobFolders(const QString& out)
{
    QStringList folders = QDir(out).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    folders.removeAll(QStringLiteral("ruffle"));
    return folders;
}
}  // namespace

namespace {

// The environment of the child program.
constexpr char kChildList[] = "RM_TEST_CHILD_LIST";
constexpr char kChildStore[] = "RM_TEST_CHILD_STORE";

// Every file below folder (hidden ones too), by its path below folder with the job folders' time
// stamps taken out: "clip/clip.flv" -> size.
std::map<QString, qint64> OutputsBelow(const QString& folder)
{
    std::map<QString, qint64> out;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo f(it.next());
        QString rel = QDir(folder).relativeFilePath(f.filePath());
        const int slash = int(rel.indexOf(u'/'));
        if (slash > 0) {
            // "name-2026-12-11-10-5-3/x" -> "name/x"
            const QString job = rel.left(slash);
            if (job == QLatin1String("ruffle"))
                continue;  // the players a web-ready run copies once for the whole folder
            const int stamp = int(job.indexOf(QRegularExpression(QStringLiteral("-\\d+-\\d+-\\d+-\\d+-\\d+-\\d+(_\\d+)?$"))));
            rel = (stamp > 0 ? job.left(stamp) : job) + rel.mid(slash);
        }
        out[rel] = f.size();
    }
    return out;
}

double ProbeSeconds(const QString& path)
{
    QProcess p;
    p.start(QStringLiteral("ffprobe"), {"-v", "error", "-show_entries", "format=duration", "-of", "default=nw=1:nk=1", path});
    if (!p.waitForFinished(30000))
        return -1;
    bool ok = false;
    const double d = p.readAllStandardOutput().trimmed().toDouble(&ok);
    return ok ? d : -1;
}

QJsonObject ReadJson(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(f.readAll()).object();
}

QString StateOf(const QJsonObject& list, int task)
{
    return list.value("tasks").toArray().at(task).toObject().value("run").toObject().value("state").toString();
}

} // namespace

class TaskListsTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_out;
    QString m_a, m_b, m_c, m_long;
    QList<BoxRequest> m_boxes;
    std::function<bool(const BoxRequest&)> m_answer;
    QString m_chosenList;

    rm::TaskTree* tasks() { return frmMain->Tasks; }

    QStringList boxTexts() const
    {
        QStringList out;
        for (const BoxRequest& b : m_boxes)
            out << b.text;
        return out;
    }

    void listOf(const QStringList& files)
    {
        frmMain->ClearAllClick();
        frmMain->AddFiles(files);
        frmMain->CheckAllClick();
    }

    // Where the kept list lives for a state folder.
    static QString KeptIn(const QString& state) { return state + "/Orvane/Reelmaker/tasks.rmtasks"; }

    // A new session of keeping, with the state folder given (as a start with that HOME does).
    void restartKeeping(const QString& state)
    {
        frmMain->StopKeepingTaskList();
        tasks()->clearAll();
        qputenv("XDG_STATE_HOME", state.toUtf8());
        frmMain->StartKeepingTaskList();
    }

    void setOutput(const QString& folder)
    {
        QDir().mkpath(folder);
        // In the store too, for a program started meanwhile.
        rm::RegistryKey key;
        QVERIFY(key.OpenKey(rm::RegistryKey::kSettingKey, true));
        key.WriteString("media_output_dir", folder + "/");
        key.CloseKey();
        rm::TheAppSettings().outputFolder = folder + "/";
        frmMain->OutputPath->setText(folder + "/");
    }

private slots:
    void initTestCase()
    {
        m_out = m_dir.filePath("out");
        QVERIFY(rmtest::UseWindowTestStore(m_dir, m_out + "/"));
        qputenv("XDG_STATE_HOME", m_dir.filePath("state").toUtf8());

        rmtest::FixtureSpec spec;
        spec.width = 160;
        spec.height = 120;
        spec.seconds = 2.0;
        m_a = QString::fromStdString(rmtest::Fixture("alpha.mp4", spec));
        spec.seconds = 1.0;
        m_b = QString::fromStdString(rmtest::Fixture("bravo.mp4", spec));
        spec.container = "avi";
        spec.audioCodec = "libmp3lame";
        m_c = QString::fromStdString(rmtest::Fixture("charlie.avi", spec));
        // Long enough to be killed while it converts, even on a fast machine.
        // (cheap to make: few small pictures; the run still writes every second of it at the
        // profile's size and rate)
        rmtest::FixtureSpec big;
        big.width = 160;
        big.height = 120;
        big.fpsNum = 5;
        big.seconds = 480.0;
        m_long = QString::fromStdString(rmtest::Fixture("long.mp4", big));

        SetBoxAnswerer([this](const BoxRequest& r) {
            m_boxes << r;
            return m_answer ? m_answer(r) : r.kind == BoxKind::Question;
        });
        TfrmMain::SetListFileChooser([this](QWidget*, bool) { return m_chosenList; });
        TfrmConvert::SetPowerOff([] { return true; });
        CreateAppWindows();
        frmMain->show();
        QVERIFY(QTest::qWaitForWindowExposed(frmMain));
    }

    void cleanupTestCase()
    {
        frmMain->StopKeepingTaskList();
        DestroyAppWindows();
        SetBoxAnswerer({});
        TfrmMain::SetListFileChooser({});
        TfrmConvert::SetPowerOff({});
        rm::SetProgramFolder({});
        rm::RegistryKey::SetStoreFile({});
    }

    void init()
    {
        m_boxes.clear();
        m_answer = {};
        frmConvert->ShowPath->setChecked(false);
        frmConvert->ShutDown->setChecked(false);
    }

    void everyKindOfTaskIsSavedOpenedAndRunTheSameByTheCli()
    {
        // A file with its trim, crop, effects and player design; a file cut into segments; a merge
        // group; a slide group; a title row as the DVD loader makes it.
        listOf({m_a, m_b, m_c});
        TaskNode* file = tasks()->topLevel(0);
        rm::MediaItem& f = *file->item();
        f.trim = {0, 1};
        *f.crop = rm::CropSettings{8, 8, 0, 0, "4:3"};
        f.effects->brightness = 20;
        f.effects->colourEffect = 1;
        f.settings->IsGeneralSwf = 1;
        f.settings->IsGeneralHtml = 1;
        f.settings->IsCreditHead = 1;
        rm::SetText(f.settings->Head_textContent, "Opening");
        f.settings->Head_duration = 1;
        TaskNode* cut = tasks()->topLevel(1);
        auto segments = tasks()->trimListFor(cut);
        segments.push_back(rm::MakeSegmentItem(*segments[0], *cut->item(), 2));
        segments[0]->trim = {0, 1};
        segments[1]->trim = {0, 1};
        tasks()->saveTrim(cut, {segments[0].get(), segments[1].get()}, 2);
        tasks()->setChecked(cut->child(0), true);
        tasks()->setChecked(cut->child(1), true);
        const rm::GroupResult merge = tasks()->formGroup(rm::kKindMerge, {tasks()->topLevel(2), file}, false);
        QVERIFY(merge.node);
        const rm::GroupResult slide = tasks()->formGroup(rm::kKindSlide, {tasks()->topLevel(2), cut->child(0)}, false);
        QVERIFY(slide.node);
        tasks()->setChecked(merge.node, true);
        tasks()->setChecked(slide.node, true);
        tasks()->setChecked(file, true);
        tasks()->setChecked(tasks()->topLevel(2), true);
        const QByteArray before = rm::TaskListToJson(*tasks());

        // Saved through the menu entry; the name gets its extension.
        m_chosenList = m_dir.filePath("every");
        frmMain->saveListClick();
        const QString list = m_dir.filePath("every.rmtasks");
        QVERIFY(QFile::exists(list));
        QVERIFY(m_boxes.isEmpty());

        // Opened into an empty list (and a fresh settings store): the same list.
        frmMain->ClearAllClick();
        rm::RegistryKey::SetStoreFile(m_dir.filePath("fresh.conf"));
        m_chosenList = list;
        frmMain->openListClick();
        rm::RegistryKey::SetStoreFile(m_dir.filePath("store.conf"));
        QVERIFY2(m_boxes.isEmpty(), qPrintable(boxTexts().join('\n')));
        QCOMPARE(tasks()->topLevelCount(), 5);
        QCOMPARE(rm::TaskListToJson(*tasks()), before);
        QVERIFY(frmMain->NodeTree->isVisible());

        // The window's run and the command line's run of the saved list make the same files.
        setOutput(m_dir.filePath("window"));
        m_answer = [](const BoxRequest& r) { return r.kind == BoxKind::Question; };
        frmMain->btnConvertClick();
        QVERIFY(frmConvert->Worker() && frmConvert->Worker()->wait(120000));
        QVERIFY2(!frmConvert->ShowResult->toPlainText().contains("fail", Qt::CaseInsensitive),
                 qPrintable(frmConvert->ShowResult->toPlainText()));
        QProcess cli;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", m_dir.path());
        env.insert("XDG_CONFIG_HOME", m_dir.filePath("cli-config"));
        cli.setProcessEnvironment(env);
        cli.start(RM_APP_DIR "/reelmaker-cli", {"run", list, "--output", m_dir.filePath("cli")});
        QVERIFY(cli.waitForFinished(240000));
        QVERIFY2(cli.exitCode() == 0, cli.readAllStandardError().constData());

        const std::map<QString, qint64> window = OutputsBelow(m_dir.filePath("window"));
        const std::map<QString, qint64> byCli = OutputsBelow(m_dir.filePath("cli"));
        QStringList windowNames, cliNames;
        for (const auto& [name, size] : window)
            windowNames << name;
        for (const auto& [name, size] : byCli)
            cliNames << name;
        QCOMPARE(cliNames, windowNames);
        QVERIFY(windowNames.size() >= 8);
        for (const auto& [name, size] : window) {
            const qint64 other = byCli.at(name);
            QVERIFY2(std::abs(double(other - size)) <= 0.05 * double(size) + 64,
                     qPrintable(QStringLiteral("%1: %2 / %3").arg(name).arg(size).arg(other)));
        }
        // Lengths of the videos, each against its counterpart.
        QDirIterator wv(m_dir.filePath("window"), {"*.flv"}, QDir::Files, QDirIterator::Subdirectories);
        QDirIterator cv(m_dir.filePath("cli"), {"*.flv"}, QDir::Files, QDirIterator::Subdirectories);
        QMap<QString, double> wl, cl;
        while (wv.hasNext()) {
            const QString p = wv.next();
            wl[QFileInfo(p).fileName()] = ProbeSeconds(p);
        }
        while (cv.hasNext()) {
            const QString p = cv.next();
            cl[QFileInfo(p).fileName()] = ProbeSeconds(p);
        }
        QCOMPARE(cl.keys(), wl.keys());
        for (auto it = wl.cbegin(); it != wl.cend(); ++it)
            QVERIFY2(it.value() > 0 && std::abs(cl[it.key()] - it.value()) < 0.15, qPrintable(it.key()));
        setOutput(m_out);
    }

    void damagedNewerAndDroppedListsAreOpenedOrRefused()
    {
        listOf({m_a});
        const QString good = m_dir.filePath("one.rmtasks");
        QCOMPARE(rm::SaveTaskListFile(*tasks(), good), QString());
        QFile damaged(m_dir.filePath("damaged.rmtasks"));
        QVERIFY(damaged.open(QIODevice::WriteOnly));
        damaged.write("{\"format\": \"reelmaker-tasks\", \"version\": 1, \"tasks\": [{\"kind\": 0");
        damaged.close();
        QFile newer(m_dir.filePath("newer.rmtasks"));
        QVERIFY(newer.open(QIODevice::WriteOnly));
        newer.write("{\"format\": \"reelmaker-tasks\", \"version\": 2, \"tasks\": []}");
        newer.close();

        struct Case {
            QString path;
            const char* says;
        };
        const Case cases[] = {
            {damaged.fileName(), "is damaged and was not opened"},
            {newer.fileName(), "was saved by a newer version of Reelmaker (task list format 2); this version reads format 1"},
        };
        for (const Case& c : cases) {
            m_boxes.clear();
            m_chosenList = c.path;
            frmMain->openListClick();
            QCOMPARE(m_boxes.size(), 1);
            QVERIFY2(m_boxes[0].text.startsWith("The task list " + c.path), qPrintable(m_boxes[0].text));
            QVERIFY2(m_boxes[0].text.contains(c.says), qPrintable(m_boxes[0].text));
            QCOMPARE(tasks()->topLevelCount(), 1);
        }
        // A dropped list (or one on the command line) adds its tasks; videos beside it are added.
        m_boxes.clear();
        frmMain->AddPaths({good, m_b});
        QVERIFY2(m_boxes.isEmpty(), qPrintable(boxTexts().join('\n')));
        QCOMPARE(tasks()->topLevelCount(), 3);
        QCOMPARE(rm::TextOf(tasks()->topLevel(1)->item()->outputBaseName), QStringLiteral("alpha"));
        QCOMPARE(rm::TextOf(tasks()->topLevel(2)->item()->outputBaseName), QStringLiteral("bravo"));
    }

    void theListIsKeptAcrossSessions()
    {
        const QString state = m_dir.filePath("state-sessions");
        restartKeeping(state);
        QVERIFY(m_boxes.isEmpty());
        // Every change is in the kept list by the next turn of the event loop.
        frmMain->AddFiles({m_a, m_b});
        QTRY_COMPARE(ReadJson(KeptIn(state)).value("tasks").toArray().size(), 2);
        QCOMPARE(ReadJson(KeptIn(state)).value("closedNormally").toBool(), false);
        tasks()->renameDestination(tasks()->topLevel(1), "renamed");
        QTRY_COMPARE(ReadJson(KeptIn(state)).value("tasks").toArray().at(1).toObject().value("row").toObject().value("destination").toString(),
                     QStringLiteral("renamed.flv"));

        // A normal close, then a start: restored without asking.
        restartKeeping(state);
        QCOMPARE(boxTexts(), QStringList());
        QCOMPARE(tasks()->topLevelCount(), 2);
        QCOMPARE(rm::TextOf(tasks()->topLevel(1)->item()->row.destination), QStringLiteral("renamed.flv"));

        // A session that did not end normally: the list is offered back; No starts empty and keeps
        // the old list as previous.rmtasks.
        QVERIFY(frmMain->Keeper());
        QCOMPARE(frmMain->Keeper()->SaveNow(false), QString());
        // (what a kill leaves: the list as it was, not marked as closed)
        const QString crashed = m_dir.filePath("crashed.rmtasks");
        QFile::remove(crashed);
        QVERIFY(QFile::copy(KeptIn(state), crashed));
        frmMain->StopKeepingTaskList();
        tasks()->clearAll();
        QFile::remove(KeptIn(state));
        QVERIFY(QFile::copy(crashed, KeptIn(state)));
        m_boxes.clear();
        m_answer = [](const BoxRequest&) { return false; };
        restartKeeping(state);
        QCOMPARE(boxTexts(), QStringList({"Restore the 2 tasks that were in the list when Reelmaker stopped?"}));
        QCOMPARE(m_boxes[0].kind, BoxKind::Question);
        QCOMPARE(tasks()->topLevelCount(), 0);
        QVERIFY(QFile::exists(QFileInfo(KeptIn(state)).absolutePath() + "/previous.rmtasks"));

        // Restoring after a normal close can be turned off.
        frmMain->AddFiles({m_c});
        rm::TheAppSettings().restoreTaskList = false;
        m_boxes.clear();
        restartKeeping(state);
        rm::TheAppSettings().restoreTaskList = true;
        QCOMPARE(boxTexts(), QStringList());
        QCOMPARE(tasks()->topLevelCount(), 0);

        // A kept list that cannot be read is said so and put aside, not overwritten.
        frmMain->StopKeepingTaskList();
        QFile broken(KeptIn(state));
        QVERIFY(broken.open(QIODevice::WriteOnly | QIODevice::Truncate));
        broken.write("{\"format\": \"reelmaker-tasks\"");
        broken.close();
        m_boxes.clear();
        restartKeeping(state);
        QCOMPARE(m_boxes.size(), 1);
        QVERIFY2(m_boxes[0].text.startsWith("The task list kept from the last session could not be read"),
                 qPrintable(m_boxes[0].text));
        QVERIFY(QFile::exists(KeptIn(state) + ".damaged"));
        restartKeeping(m_dir.filePath("state"));
    }

    void aKilledRunComesBackAndTheRestConverts()
    {
        // The list of three tasks: short, long, short.
        const QString out = m_dir.filePath("killed-out");
        setOutput(out);
        listOf({m_a, m_long, m_b});
        const QString list = m_dir.filePath("three.rmtasks");
        QCOMPARE(rm::SaveTaskListFile(*tasks(), list), QString());
        frmMain->ClearAllClick();

        // The program, started with its own state folder and the test's settings store.
        const QString state = m_dir.filePath("state-killed");
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_STATE_HOME", state);
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert(kChildList, list);
        env.insert(kChildStore, m_dir.filePath("store.conf"));
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(child.waitForStarted());

        // Killed once the first task is done and the second is being written.
        auto midSecond = [&] {
            const QJsonObject kept = ReadJson(KeptIn(state));
            if (StateOf(kept, 0) != "done" || StateOf(kept, 1) != "running")
                return false;
            QDirIterator it(out, {".*.part"}, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
            return it.hasNext();
        };
        QTRY_VERIFY_WITH_TIMEOUT(midSecond() || child.state() == QProcess::NotRunning, 180000);
        if (child.state() != QProcess::Running)
            qWarning("kept list at the end: %s", QJsonDocument(ReadJson(KeptIn(state))).toJson().constData());
        QVERIFY2(child.state() == QProcess::Running, "the program ended before it was killed");
        ::kill(pid_t(child.processId()), SIGKILL);
        QVERIFY(child.waitForFinished(30000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        // What the kill left: the second task's hidden part file in its job folder.
        QCOMPARE(JobFolders(out).size(), 2);

        // Started again with the same state folder: the list is offered back.
        m_boxes.clear();
        m_answer = [](const BoxRequest& r) { return r.kind == BoxKind::Question; };
        restartKeeping(state);
        QCOMPARE(boxTexts(), QStringList({"Restore the 3 tasks that were in the list when Reelmaker stopped?"}));
        QCOMPARE(tasks()->topLevelCount(), 3);
        QCOMPARE(tasks()->topLevel(0)->run.state, rm::TaskRunState::Done);
        QCOMPARE(tasks()->topLevel(1)->run.state, rm::TaskRunState::Interrupted);
        QCOMPARE(tasks()->topLevel(2)->run.state, rm::TaskRunState::Waiting);
        QVERIFY(tasks()->data(tasks()->indexOf(tasks()->topLevel(0)), Qt::DisplayRole).toString().endsWith(" (done)"));
        QVERIFY(tasks()->data(tasks()->indexOf(tasks()->topLevel(1)), Qt::DisplayRole).toString().endsWith(" (interrupted)"));
        // The start cleared what the killed run left, and nothing else.
        QDirIterator parts(out, {".*.part"}, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        QVERIFY(!parts.hasNext());
        QCOMPARE(JobFolders(out).size(), 1);
        const std::map<QString, qint64> first = OutputsBelow(out);

        // Convert offers the rest; it makes exactly the missing outputs.
        m_boxes.clear();
        frmMain->btnConvertClick();
        QVERIFY(frmConvert->Worker() && frmConvert->Worker()->wait(240000));
        QVERIFY(!boxTexts().isEmpty());
        QVERIFY2(boxTexts().first().contains("Convert the 2 tasks that are not done yet?"), qPrintable(boxTexts().first()));
        const QStringList lines = frmConvert->ShowResult->toPlainText().split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines, QStringList({"long --> Convert Successful!", "bravo --> Convert Successful!"}));
        const std::map<QString, qint64> all = OutputsBelow(out);
        for (const auto& [name, size] : first)
            QCOMPARE(all.at(name), size);  // the first task's outputs untouched
        // Each task made the same kinds of files as the first one did, once.
        QStringList kinds;
        for (const auto& [name, size] : first)
            kinds << name.section('/', 1).replace("alpha", "*");
        QVERIFY(kinds.contains("*.flv") || kinds.contains("*.swf"));
        QStringList made;
        for (const auto& [name, size] : all)
            made << name;
        QStringList expected;
        for (const QString task : {"alpha", "bravo", "long"})
            for (const QString& k : kinds)
                expected << task + "/" + QString(k).replace("*", task);
        expected.sort();
        QCOMPARE(made, expected);
        // No part file, no empty folder.
        QCOMPARE(JobFolders(out).size(), 3);
        QTRY_COMPARE(tasks()->topLevel(1)->run.state, rm::TaskRunState::Done);
        QCOMPARE(tasks()->topLevel(2)->run.state, rm::TaskRunState::Done);
        restartKeeping(m_dir.filePath("state"));
        setOutput(m_out);
    }
};

// The child program: the windows, the list opened, Convert pressed.
static int RunChild(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Reelmaker"));
    QApplication::setOrganizationName(QStringLiteral("Orvane"));
    rm::RegistryKey::SetStoreFile(qEnvironmentVariable(kChildStore));
    rm::SetProgramFolder(QStringLiteral(RM_APP_DIR "/"));
    SetBoxAnswerer([](const BoxRequest& r) { return r.kind == BoxKind::Question; });
    CreateAppWindows();
    frmMain->show();
    frmMain->StartKeepingTaskList();
    if (!frmMain->OpenTaskList(qEnvironmentVariable(kChildList)))
        return 3;
    frmMain->btnConvertClick();
    // Not reached while the test kills the run in its middle.
    return 4;
}

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsEmpty(kChildList))
        return RunChild(argc, argv);
    QApplication app(argc, argv);
    TaskListsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "task_lists_test.moc"
