#pragma once
// reelmaker-cli subcommands. Each command lives in its own cli_<name>.cpp and registers itself
// with a static CliCommandRegistrar, so adding a command needs no edit elsewhere.

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace rmcli {

// Exit codes shared by every command.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitDamaged = 3;  // every output written, but a source was damaged (a warning)

struct CliCommand {
    std::string name;
    std::string usage;  // one or more lines shown by "reelmaker-cli help" and on a usage error
    std::function<int(const std::vector<std::string>& args)> run;  // args exclude the command name
};

std::vector<CliCommand>& CliCommands();

struct CliCommandRegistrar {
    explicit CliCommandRegistrar(CliCommand c) { CliCommands().push_back(std::move(c)); }
};

// Prints the usage of one command (or of all when name is empty), to standard error unless
// asked for (--help prints it to standard output).
void PrintUsage(const std::string& name = {}, std::FILE* to = stderr);

} // namespace rmcli
