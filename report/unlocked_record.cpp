// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/unlocked_record.h"

#include <QFileInfo>

#include "storage/run_liveness.h"

namespace report {

bool UnlockedRunIsLive(const QString& path, const RunFacts& facts, const QDateTime& now)
{
    if (!facts.unlocked)
        return false;
    const QDateTime written = QFileInfo(path).lastModified();
    return written.isValid() && written.secsTo(now) < kFreshSeconds && storage::ProcessAlive(facts.writerPid);
}

}  // namespace report
