// SPDX-License-Identifier: GPL-3.0-or-later
#include "storage/lock_lines.h"

#include <algorithm>
#include <iterator>

namespace storage {
namespace {

const QString kSeparator = QStringLiteral(": ");
const QString kNothingTaken = QStringLiteral("nothing was taken");

// Each state's own words first; the others are what a lock's line may
// start with instead (the detail then holds the whole wording).
struct Words {
    LockState state;
    const char* words;
};
constexpr Words kWords[] = {
    {LockState::Taken, "taken"},
    {LockState::Refused, "refused"},
    {LockState::Absent, "not present"},
    {LockState::Waiting, "waiting for an answer"},
    {LockState::Lost, "lost"},
    {LockState::Released, "released"},
    {LockState::NotNeeded, "not needed"},
    {LockState::Taken, "kept through"},
    {LockState::Taken, "held off"},
    {LockState::Waiting, "no answer"},
};

QString OwnWords(LockState state)
{
    const auto own = std::find_if(std::begin(kWords), std::end(kWords), [&](const Words& w) { return w.state == state; });
    return own == std::end(kWords) ? QString() : QString::fromLatin1(own->words);
}

// The words end where the next character cannot continue a word.
bool StartsWithWords(const QString& text, const char* words)
{
    const QLatin1String lead(words);
    return text.startsWith(lead) && (text.size() == lead.size() || !text.at(lead.size()).isLetter());
}

}  // namespace

QString LockLineText(const LockLine& lock)
{
    if (lock.state == LockState::NothingTaken)
        return kNothingTaken + kSeparator + QStringLiteral("the machine may sleep during the run");
    const bool ownWording = !lock.detail.isEmpty() && lock.detail.at(0).isLetter();
    return lock.service + kSeparator + (ownWording ? lock.detail : OwnWords(lock.state) + lock.detail);
}

QStringList LockLineTexts(const QList<LockLine>& locks)
{
    QStringList lines;
    for (const LockLine& lock : locks)
        lines << LockLineText(lock);
    return lines;
}

LockLine ParseLockLine(const QString& line)
{
    if (line.startsWith(kNothingTaken))
        return NothingTakenLine();
    const qsizetype colon = line.indexOf(kSeparator);  // a reason may hold more
    if (colon < 0)
        return {line, LockState::Unknown, {}};
    const QString service = line.left(colon);
    const QString words = line.mid(colon + kSeparator.size());
    for (std::size_t i = 0; i < std::size(kWords); ++i) {
        if (!StartsWithWords(words, kWords[i].words))
            continue;
        const bool own = OwnWords(kWords[i].state) == QLatin1String(kWords[i].words);
        return {service, kWords[i].state, own ? words.mid(qstrlen(kWords[i].words)) : words};
    }
    return {service, LockState::Unknown, words};
}

QList<LockLine> ParseLockLines(const QStringList& lines)
{
    QList<LockLine> locks;
    for (const QString& line : lines)
        locks << ParseLockLine(line);
    return locks;
}

LockLine NothingTakenLine()
{
    return {kNothingTaken, LockState::NothingTaken, {}};
}

bool AnyTaken(const QList<LockLine>& locks)
{
    return std::any_of(locks.begin(), locks.end(), [](const LockLine& l) { return l.state == LockState::Taken; });
}

bool AllAnswered(const QList<LockLine>& locks)
{
    return std::none_of(locks.begin(), locks.end(), [](const LockLine& l) { return l.state == LockState::Waiting; });
}

}  // namespace storage
