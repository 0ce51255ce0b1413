// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

namespace platform {

// Milliseconds this machine has spent in system sleep since it booted. It
// never decreases and grows only while the machine sleeps.
qint64 SleptMsSinceBoot();

// Milliseconds this machine has been awake since it booted: the clock stops
// during system sleep and never steps with the wall clock.
qint64 AwakeMsSinceBoot();

}  // namespace platform
