// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace calibration {

// The result log that the calibration run writes and View Result reads.
// Windows: C:\Dorvik.log. Elsewhere: Dorvik.log in the XDG state directory
// ($XDG_STATE_HOME/dorvik, or ~/.local/state/dorvik), which outlives a restart.
QString ResultLogPath();

// The demo's log lives beside the real one, so trying the demo never
// overwrites a real result.
QString DemoResultLogPath();

// The text every failure to read the log shows, whatever the platform.
inline const QString kResultLogShownName = QStringLiteral("C:\\Dorvik.log");

}  // namespace calibration
