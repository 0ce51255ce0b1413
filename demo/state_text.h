// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include "power/system_power_status.h"

namespace demo {

// The five values of the power status record as the utility reads them, one
// a line, with what each number means; a failed query says so first.
QString SimulatedStateText(int queryResult, const SYSTEM_POWER_STATUS& status);

}  // namespace demo
