#include "cli/cli_command.h"

#include <QCoreApplication>
#include <algorithm>
#include <cstdio>

namespace rmcli {

std::vector<CliCommand>& CliCommands()
{
    static std::vector<CliCommand> commands;
    return commands;
}

void PrintUsage(const std::string& name)
{
    std::vector<CliCommand> sorted = CliCommands();
    std::sort(sorted.begin(), sorted.end(), [](auto& a, auto& b) { return a.name < b.name; });
    std::fprintf(stderr, "usage:\n");
    for (const auto& c : sorted)
        if (name.empty() || c.name == name)
            std::fprintf(stderr, "%s\n", c.usage.c_str());
}

} // namespace rmcli

int main(int argc, char** argv)
{
    // A Core application gives the commands the program folder and the settings store.
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Orvane"));
    QCoreApplication::setApplicationName(QStringLiteral("Reelmaker"));
    if (argc < 2) {
        rmcli::PrintUsage();
        return rmcli::kExitUsage;
    }
    const std::string name = argv[1];
    if (name == "--version") {
        std::printf("reelmaker-cli %s\n", RM_VERSION);
        return rmcli::kExitOk;
    }
    if (name == "help" || name == "--help" || name == "-h") {
        rmcli::PrintUsage(argc > 2 ? argv[2] : "");
        return rmcli::kExitOk;
    }
    for (const auto& c : rmcli::CliCommands()) {
        if (c.name == name)
            return c.run(std::vector<std::string>(argv + 2, argv + argc));
    }
    std::fprintf(stderr, "reelmaker-cli: unknown command '%s'\n", name.c_str());
    rmcli::PrintUsage();
    return rmcli::kExitUsage;
}
