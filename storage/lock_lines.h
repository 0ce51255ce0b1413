// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace storage {

// What became of one lock that keeps the machine awake. A run's record
// keeps these as text lines, "service: state words"; the words are made
// here and read back here, those of every older Dorvik included.
enum class LockState {
    Taken,
    Refused,
    Absent,
    Waiting,
    Lost,
    Released,
    NotNeeded,
    NothingTaken,  // the summary line when no lock was taken: no service
    Unknown,       // words this version does not know
};

struct LockLine {
    QString service;
    LockState state = LockState::Unknown;
    // The words after the state's own: ", answered late", " (reason)". A
    // detail that starts with a letter stands instead of them:
    // "kept through a restart of logind", "held off", "no answer within 2 s".
    QString detail;
    bool operator==(const LockLine&) const = default;
};

QString LockLineText(const LockLine& lock);
QStringList LockLineTexts(const QList<LockLine>& locks);
LockLine ParseLockLine(const QString& line);
QList<LockLine> ParseLockLines(const QStringList& lines);
// The summary added when every lock has answered and none was taken.
LockLine NothingTakenLine();
bool AnyTaken(const QList<LockLine>& locks);
// Every answer is in: no lock is still waiting.
bool AllAnswered(const QList<LockLine>& locks);

}  // namespace storage
