// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace app {

// Dorvik's log lines (what kept the machine awake, a record that could not be
// written) go to the standard error output, also when it is no terminal, so
// that a desktop session's journal and a script see the same lines. Call first
// in main; QT_FORCE_STDERR_LOGGING, when set, still decides.
void LogToStandardError();

}  // namespace app

