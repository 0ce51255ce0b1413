// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/log_output.h"

#include <QtGlobal>

Q_LOGGING_CATEGORY(lcKeepAwake, "dorvik.keepawake")

namespace platform {

void LogToStandardError()
{
    if (!qEnvironmentVariableIsSet("QT_FORCE_STDERR_LOGGING"))
        qputenv("QT_FORCE_STDERR_LOGGING", "1");
}

}  // namespace platform
