// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "powerhelper/change_ledger.h"

#include <QStringList>
#include <vector>

namespace powerhelper {

class LedgerFile;

// Writes the values back battery by battery, thresholds in an order each
// driver accepts; logs each battery as done for `whom`. Returns what failed.
QStringList PutBackAll(const QString& sysfsRoot, const std::vector<Restoration>& restorations, const QString& whom);

// Puts back every change a previous run of the helper left in the file, and
// removes the file. False when the file or a setting could not be dealt with.
bool PutBackLeftovers(const QString& sysfsRoot, const LedgerFile& file);

}  // namespace powerhelper
