// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/unlocked_record.h"

#include <QFile>
#include <QFileInfo>

#include "storage/run_liveness.h"

namespace report {
namespace {

const QByteArray kPidFact = QByteArrayLiteral("pid,");
const QByteArray kNoLockFact = QByteArrayLiteral("lock,none");

struct WriterFacts {
    qint64 pid = 0;
    bool unlocked = false;
};

// From the facts, which end at the header line; the samples are not read.
WriterFacts ReadWriterFacts(const QString& path)
{
    constexpr int kFactLineLimit = 256;
    WriterFacts facts;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return facts;
    for (int i = 0; i < kFactLineLimit && !file.atEnd(); ++i) {
        const QByteArray line = file.readLine(4096).trimmed();
        if (line.startsWith("time,"))
            break;
        if (line == kNoLockFact)
            facts.unlocked = true;
        else if (line.startsWith(kPidFact))
            facts.pid = line.mid(kPidFact.size()).toLongLong();
    }
    return facts;
}

}  // namespace

QByteArray WriterFactLines(qint64 pid, bool held)
{
    return kPidFact + QByteArray::number(pid) + '\n' + (held ? QByteArray() : kNoLockFact + '\n');
}

bool UnlockedRunIsLive(const QString& path, const QDateTime& now)
{
    const WriterFacts facts = ReadWriterFacts(path);
    if (!facts.unlocked)
        return false;
    const QDateTime written = QFileInfo(path).lastModified();
    return written.isValid() && written.secsTo(now) < kFreshSeconds && storage::ProcessAlive(facts.pid);
}

}  // namespace report
