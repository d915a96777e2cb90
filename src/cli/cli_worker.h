#pragma once
// Running a conversion from the command line.

#include "convert/conver_thread.h"

namespace rmcli {

// Runs the worker on `setup` until it ends. Ctrl+C, a terminal that closes (SIGHUP) and a polite
// kill (SIGTERM) cancel the run as the progress window's Yes does, so the partial outputs are
// removed; the same signal a second time ends the program at once. Returns whether a signal
// cancelled the run.
bool RunCancellingOnSignals(rm::RunSetup setup);

} // namespace rmcli
