// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace storage {

// Where Dorvik keeps what must outlive a restart: $XDG_STATE_HOME/dorvik, or
// ~/.local/state/dorvik; on Windows the application's local data folder.
QString StateDirectory();

// The folder of the calibration runs' records.
QString RunRecordDirectory();

// The demo's records, apart from the real ones so that trying the demo never
// pushes a real run out.
QString DemoRunRecordDirectory();

// The result log that the calibration run writes and View Result reads.
// Windows: C:\Dorvik.log. Elsewhere: Dorvik.log in the state directory,
// which outlives a restart.
QString ResultLogPath();

// The demo's log lives beside the real one, so trying the demo never
// overwrites a real result.
QString DemoResultLogPath();

// The text every failure to read the log shows, whatever the platform.
inline const QString kResultLogShownName = QStringLiteral("C:\\Dorvik.log");

// The lock that keeps one window running where there is no session bus.
QString InstanceLockPath();

}  // namespace storage
