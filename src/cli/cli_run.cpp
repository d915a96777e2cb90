// reelmaker-cli run: converts a saved task list without the windows. The list is read into the
// same task list the main window uses and the same conversion worker runs its checked tasks, so
// the outputs are the ones the window would make. --shard I/N takes every N-th task starting at
// the I-th, so that a scheduler can spread one list over many machines.

#include <QDir>
#include <QFileInfo>
#include <QString>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "cli/cli_command.h"
#include "cli/cli_options.h"
#include "cli/cli_worker.h"
#include "convert/conver_thread.h"
#include "convert/job_folder_lock.h"
#include "engines/messages/result_codes.h"
#include "model/app_settings.h"
#include "model/custom_settings.h"
#include "model/profile_catalogue.h"
#include "model/task_list_file.h"
#include "model/task_tree.h"

namespace rmcli {
namespace {

const char kUsage[] =
    "  reelmaker-cli run LIST.rmtasks [--output DIR] [--shard I/N] [--web-ready | --no-web-ready]\n"
    "      Converts the checked tasks of a saved task list as the main window would, each\n"
    "      in its own folder below the output folder.\n"
    "      --output DIR            output folder (default: the application's output folder)\n"
    "      --shard I/N             only every N-th checked task, starting with the I-th\n"
    "                              (1 <= I <= N): N workers with I = 1..N convert every task\n"
    "                              exactly once between them\n"
    "      --web-ready             copy the players (Flash emulator, HTML5 player) into the output\n"
    "                              folder (as the option does, which is on unless turned off)\n"
    "      --no-web-ready          do not copy them, whatever the option says\n"
    "      Exit status: 0 every output converted (or nothing to do in this shard), 1 an\n"
    "      output failed or the list cannot be read, 2 usage error, 3 outputs written from a\n"
    "      damaged source (a warning).";

struct Options {
    QString list;
    QString output;
    int shard = 1;
    int shards = 1;
    int webReady = -1;  // -1: as the options say
};

int Usage(const std::string& text)
{
    std::fprintf(stderr, "reelmaker-cli run: %s\n", text.c_str());
    PrintUsage("run");
    return kExitUsage;
}

// "I/N" with 1 <= I <= N.
void ParseShard(const std::string& value, Options& o)
{
    const std::vector<std::string> parts = Split(value, '/');
    int i = 0, n = 0;
    if (parts.size() != 2 || !ParseInt(parts[0], i) || !ParseInt(parts[1], n) || n < 1 || i < 1 || i > n)
        throw UsageError{"--shard takes I/N with 1 <= I <= N (for example 2/4), not \"" + value + "\""};
    o.shard = i;
    o.shards = n;
}

Options Parse(const std::vector<std::string>& args)
{
    Options o;
    bool filesOnly = false;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string a = args[i];
        if (filesOnly || a.empty() || a[0] != '-') {
            if (!o.list.isEmpty())
                throw UsageError{"one task list at a time (\"" + a + "\" is a second one)"};
            o.list = QString::fromLocal8Bit(a.c_str());
            continue;
        }
        if (a == "--") {
            filesOnly = true;
            continue;
        }
        std::string value;
        bool hasValue = false;
        if (const size_t eq = a.find('='); eq != std::string::npos) {
            value = a.substr(eq + 1);
            a = a.substr(0, eq);
            hasValue = true;
        }
        const bool takesValue = a == "--output" || a == "--shard";
        if (takesValue && !hasValue) {
            if (i + 1 >= args.size() || args[i + 1].rfind("--", 0) == 0)
                throw UsageError{a + " needs a value"};
            value = args[++i];
        } else if (!takesValue && hasValue) {
            throw UsageError{a + " takes no value"};
        }
        if (a == "--output")
            o.output = QString::fromLocal8Bit(value.c_str());
        else if (a == "--shard")
            ParseShard(value, o);
        else if (a == "--web-ready")
            o.webReady = 1;
        else if (a == "--no-web-ready")
            o.webReady = 0;
        else
            throw UsageError{"unknown option " + a};
    }
    if (o.list.isEmpty())
        throw UsageError{"which task list? (reelmaker-cli run LIST.rmtasks)"};
    return o;
}

// Prints each result line as the progress window writes it.
class ResultPrinter : public rm::MessageSink {
public:
    void post(uint32_t message, intptr_t w, intptr_t l) override
    {
        if (message != rm::WM_CONVERT_RESULT)
            return;
        std::lock_guard<std::mutex> lock(m_mutex);
        const int32_t code = int32_t(w);
        const char* name = reinterpret_cast<const char*>(l);
        if (code == 0) {
            std::printf("%s --> Convert Successful!\n", name);
        } else {
            std::printf("%s --> %s\n", name, rm::messages::getErrorInfo(code, 0, 1));
            // A damaged source's output is kept: a warning, not a failure.
            (rm::messages::OutputWritten(code) ? m_warned : m_failed) = true;
        }
        std::fflush(stdout);
    }
    bool failed() const { return m_failed; }
    bool warned() const { return m_warned; }

private:
    std::mutex m_mutex;
    bool m_failed = false;
    bool m_warned = false;
};

int RunList(const std::vector<std::string>& args)
{
    Options o;
    try {
        o = Parse(args);
    } catch (const UsageError& e) {
        return Usage(e.text);
    }

    const QString program = rm::ProgramFolder();
    rm::AppSettings& app = rm::TheAppSettings();
    app = rm::LoadAppSettings(program);
    // The profile catalogue is what a task's player and thumbnail settings were chosen from;
    // the tasks carry their settings whole, the catalogue only fills the process defaults.
    rm::ReadProfileCatalogue(QDir(program).absolutePath().toStdString());
    rm::ApplyStartupProfile();

    rm::TaskTree tree;
    const rm::TaskListRead read = rm::OpenTaskListFile(tree, QFileInfo(o.list).absoluteFilePath());
    if (!read.ok) {
        std::fprintf(stderr, "reelmaker-cli run: %s\n", read.error.toLocal8Bit().constData());
        return kExitFailed;
    }
    tree.forEachNode([](rm::TaskNode* n) {
        if (n->sourceMissing)
            std::fprintf(stderr, "reelmaker-cli run: the source of %s is missing: %s\n", n->item()->row.displayName,
                         n->item()->SourcePath().c_str());
    });

    QString output = o.output.isEmpty() ? app.outputFolder : QFileInfo(o.output).absoluteFilePath();
    if (output.isEmpty())
        output = rm::DefaultOutputFolder();
    output = QDir::fromNativeSeparators(output);
    if (!output.endsWith(u'/'))
        output += u'/';
    if (!QFileInfo(output).isDir() && !QDir().mkdir(output)) {
        std::fprintf(stderr, "reelmaker-cli run: cannot create the output folder %s\n", output.toLocal8Bit().constData());
        return kExitFailed;
    }
    // What a killed run left there goes first (never what a running one is writing).
    rm::ClearLeftovers(output);

    int position = 0;
    rm::RunSetup setup;
    setup.snapshot = tree.takeRunSnapshot([&](const rm::TaskNode*) { return position++ % o.shards == o.shard - 1; });
    if (setup.snapshot.tasks.empty()) {
        std::fprintf(stderr, "reelmaker-cli run: no checked task in %s\n",
                     o.shards > 1 ? "this shard" : "the list");
        return kExitOk;
    }
    ResultPrinter printer;
    setup.outputFolder = output;
    setup.sink = &printer;
    setup.player.programFolder = program;
    setup.webReady = o.webReady >= 0 ? o.webReady == 1 : app.webReady;

    if (RunCancellingOnSignals(std::move(setup))) {
        std::fprintf(stderr, "reelmaker-cli run: cancelled\n");
        return kExitFailed;
    }
    return printer.failed() ? kExitFailed : printer.warned() ? kExitDamaged : kExitOk;
}

CliCommandRegistrar g_run({"run", kUsage, RunList});

} // namespace
} // namespace rmcli
