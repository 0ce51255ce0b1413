// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include "storage/lock_lines.h"

namespace calibration {

// What holds on this machine at the power-settings step: what Dorvik's
// locks already keep off, and what only the user can set. One line each;
// the window's instructions and the "battery full" notice both say it.
QStringList PowerSettingsAdvice(const QList<storage::LockLine>& locks);

// The status text at the power-settings step. Windows keeps its power
// scheme instructions; elsewhere the advice, then what to click.
QString PowerSettingsInstructions(const QList<storage::LockLine>& locks);

}  // namespace calibration
