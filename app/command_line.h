// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace app {

// Whose command line: Dorvik's, on this machine's battery and its runs, or
// the demo's, on the runs of its simulated battery (no --status).
struct CommandLineSubject {
    const char* program = "dorvik";
    QString description;
    QString runDirectory;      // empty: Dorvik's own
    bool systemBattery = true;  // --status, and today's capacity in --report
};
CommandLineSubject DemoCommandLine();

// Reads the command line. --help, --version, --status and --report (with
// --json) run here on a QCoreApplication, without a display, and give the
// exit code; a bad command line prints the error and the usage on stderr
// and exits non-zero, as does output that cannot be written. Nothing means:
// start the window.
std::optional<int> RunCommandLine(int argc, char* argv[], const CommandLineSubject& subject = {});

// The arguments without Qt's own window options (-platform x, --style=x,
// -reverse...), which are the window's business; the first, the program, stays.
QStringList WithoutQtOptions(const QStringList& arguments);

}  // namespace app
