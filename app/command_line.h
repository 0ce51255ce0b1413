// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

namespace app {

// Reads the command line. --help, --version, --status and --report (with
// --json) run here on a QCoreApplication, without a display, and give the
// exit code; a bad command line prints the error and the usage on stderr
// and exits non-zero. Nothing means: start the window.
std::optional<int> RunCommandLine(int argc, char* argv[]);

}  // namespace app
