// SPDX-License-Identifier: GPL-3.0-or-later
#include "powerhelper/log.h"

namespace powerhelper {
Q_LOGGING_CATEGORY(lcPowerHelper, "dorvik.powerhelper")
}
