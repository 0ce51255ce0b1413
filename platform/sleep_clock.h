// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

namespace platform {

// Milliseconds this machine has spent in system sleep since it booted. It
// never decreases and grows only while the machine sleeps.
qint64 SleptMsSinceBoot();

}  // namespace platform
