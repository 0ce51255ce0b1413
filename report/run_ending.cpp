// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/run_ending.h"

#include "storage/run_liveness.h"
#include "report/unlocked_record.h"

namespace report {

RunEnding UnendedRunEnding(const QString& path, const RunFacts& facts)
{
    if (storage::IsHeld(path))
        return RunEnding::Running;
    const QString now = storage::BootId();
    if (facts.bootId.isEmpty() || now.isEmpty())
        return RunEnding::NotRecorded;
    if (!storage::SameBoot(facts.bootId, now))
        return RunEnding::SwitchedOff;
    return UnlockedRunIsLive(path) ? RunEnding::Running : RunEnding::Killed;
}

QString EndingText(RunEnding ending)
{
    switch (ending) {
    case RunEnding::Running: return QStringLiteral("still running");
    case RunEnding::Replugged: return QStringLiteral("ended when the adaptor was reconnected");
    case RunEnding::Exited: return QStringLiteral("ended when Dorvik was closed");
    case RunEnding::Standby: return QStringLiteral("ended when the machine went to standby");
    case RunEnding::SwitchedOff: return QStringLiteral("ran until the machine switched off");
    case RunEnding::Killed: return QStringLiteral("stopped without a word: Dorvik was killed or crashed");
    case RunEnding::NotRecorded: break;
    }
    return QStringLiteral("ending not recorded");
}

}  // namespace report
