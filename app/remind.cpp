// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/remind.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTimer>
#include <cstdio>

#include "platform/desktop_notices.h"
#include "power/system_power_source.h"
#include "report/next_calibration.h"
#include "report/run_ending.h"
#include "report/run_record.h"
#include "storage/paths.h"
#include "storage/settings.h"

namespace app {
namespace {

// Long enough to be seen after a login; a notice still unanswered then is
// left to the desktop's list, which no longer starts Dorvik.
constexpr int kWaitMs = 10 * 60 * 1000;

std::optional<report::NextCalibration> Due()
{
    const auto ranOut = report::NewestRunRecord(storage::RunRecordDirectory(),
                                                [](const report::RunRecord& run) { return report::RanOut(run.ending); });
    if (!ranOut)
        return std::nullopt;
    const report::LastCalibration last{ranOut->facts.start, ranOut->facts.cycleCount};
    // The battery is asked only when there is a count to compare with.
    const std::optional<int> cyclesNow =
        last.cycleCount ? power::CreateSystemPowerSource()->Details().cycleCount : std::nullopt;
    const report::NextCalibration next = report::NextCalibrationAfter(last, cyclesNow, QDateTime::currentDateTime());
    return next.due ? std::optional(next) : std::nullopt;
}

// Starts the window as its own process, which outlives this one.
void StartDorvik()
{
    if (!QProcess::startDetached(QCoreApplication::applicationFilePath(), {}))
        std::fprintf(stderr, "dorvik: cannot start %s\n", qUtf8Printable(QCoreApplication::applicationFilePath()));
}

}  // namespace

int Remind()
{
#ifdef Q_OS_WIN
    std::fputs("dorvik: --remind needs a Linux desktop's notification service.\n", stderr);
    return 2;
#else
    if (!storage::RemindTurnedOn())
        return 0;
    const auto due = Due();
    if (!due)
        return 0;
    const auto notices = platform::CreateDesktopNotices();
    // Queued: a notice that cannot be shown says so before the loop runs.
    const auto quit = [] { QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection); };
    notices->onActivated = [quit] {
        StartDorvik();
        quit();
    };
    notices->onClosed = quit;
    notices->Show({QStringLiteral("Dorvik"), report::ReminderText(*due), false, QStringLiteral("Start Dorvik")});
    QTimer::singleShot(kWaitMs, QCoreApplication::instance(), &QCoreApplication::quit);
    QCoreApplication::exec();
    return 0;
#endif
}

}  // namespace app
