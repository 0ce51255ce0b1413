// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/log_output.h"

#include <QByteArray>
#include <QtGlobal>

namespace app {

void LogToStandardError()
{
    if (!qEnvironmentVariableIsSet("QT_FORCE_STDERR_LOGGING"))
        qputenv("QT_FORCE_STDERR_LOGGING", "1");
}

}  // namespace app
