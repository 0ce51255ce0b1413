#pragma once

// The two system calls the window's handlers make besides the toolkit's:
// the power status query and Sleep. Both are members of platform::Platform,
// so that tests can run the handlers on a fake platform.
#include "platform/platform.h"
#include "power/system_power_status.h"
