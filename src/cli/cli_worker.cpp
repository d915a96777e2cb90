#include "cli/cli_worker.h"

#include <atomic>
#include <csignal>

namespace rmcli {
namespace {

std::atomic<bool> g_interrupted{false};

constexpr int kCancelSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void OnInterrupt(int sig)
{
    rm::TheConvertRun().cancel.store(1);
    g_interrupted.store(true);
    std::signal(sig, SIG_DFL);
}

} // namespace

bool RunCancellingOnSignals(rm::RunSetup setup)
{
    rm::TheConvertRun().cancel.store(0);
    g_interrupted.store(false);
    for (int sig : kCancelSignals)
        std::signal(sig, OnInterrupt);
    {
        rm::ConverThread worker(std::move(setup));
        worker.start();
        worker.wait();
    }
    for (int sig : kCancelSignals)
        std::signal(sig, SIG_DFL);
    return g_interrupted.load();
}

} // namespace rmcli
