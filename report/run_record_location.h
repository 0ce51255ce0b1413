// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace report {

// Where Dorvik keeps what must outlive a restart: $XDG_STATE_HOME/dorvik, or
// ~/.local/state/dorvik; on Windows the application's local data folder.
QString StateDirectory();

// The folder of the calibration runs' records.
QString RunRecordDirectory();

// The demo's records, apart from the real ones so that trying the demo never
// pushes a real run out.
QString DemoRunRecordDirectory();

}  // namespace report
