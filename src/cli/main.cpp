#include "cli/cli_command.h"

#include "engines/converter/converter.h"

#include <QCoreApplication>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>

namespace rmcli {

std::vector<CliCommand>& CliCommands()
{
    static std::vector<CliCommand> commands;
    return commands;
}

void PrintUsage(const std::string& name, std::FILE* to)
{
    std::vector<CliCommand> sorted = CliCommands();
    std::sort(sorted.begin(), sorted.end(), [](auto& a, auto& b) { return a.name < b.name; });
    std::fprintf(to, "usage:\n");
    if (name.empty())
        std::fprintf(to, "  reelmaker-cli [--verbose] COMMAND [options]   (COMMAND --help: its options)\n"
                         "  reelmaker-cli --version\n");
    for (const auto& c : sorted)
        if (name.empty() || c.name == name)
            std::fprintf(to, "%s\n", c.usage.c_str());
}

namespace {

bool IsHelp(const std::string& a) { return a == "--help" || a == "-h"; }

} // namespace

} // namespace rmcli

int main(int argc, char** argv)
{
    // A Core application gives the commands the program folder and the settings store.
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Orvane"));
    QCoreApplication::setApplicationName(QStringLiteral("Reelmaker"));
    // A file-size limit (ulimit -f) makes a write fail with EFBIG, which the converter reports
    // as its own result; by default the signal would end the program with a partial file.
    std::signal(SIGXFSZ, SIG_IGN);

    // --verbose anywhere before "--" lets FFmpeg's own log lines through.
    std::vector<std::string> args;
    bool verbose = false, filesOnly = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        filesOnly = filesOnly || a == "--";
        if (!filesOnly && a == "--verbose")
            verbose = true;
        else
            args.push_back(a);
    }
    rm::converter::setLibraryLogging(verbose);

    if (args.empty()) {
        rmcli::PrintUsage();
        return rmcli::kExitUsage;
    }
    const std::string name = args.front();
    if (name == "--version") {
        std::printf("reelmaker-cli %s\n", RM_VERSION);
        return rmcli::kExitOk;
    }
    if (name == "help" || rmcli::IsHelp(name)) {
        rmcli::PrintUsage(args.size() > 1 ? args[1] : "", stdout);
        return rmcli::kExitOk;
    }
    for (const auto& c : rmcli::CliCommands()) {
        if (c.name != name)
            continue;
        const std::vector<std::string> rest(args.begin() + 1, args.end());
        for (const std::string& a : rest) {
            if (a == "--")
                break;
            if (rmcli::IsHelp(a)) {
                rmcli::PrintUsage(name, stdout);
                return rmcli::kExitOk;
            }
        }
        return c.run(rest);
    }
    std::fprintf(stderr, "reelmaker-cli: unknown command '%s'\n", name.c_str());
    rmcli::PrintUsage();
    return rmcli::kExitUsage;
}
