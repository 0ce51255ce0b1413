// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace storage {

// The user's choices, in ~/.config/dorvik/dorvik.conf ($XDG_CONFIG_HOME) on
// Linux, the registry on Windows: one place for the report's check box and
// dorvik --remind.

// Whether dorvik --remind sends its notice when a calibration is due; on
// unless Remind=false.
bool RemindTurnedOn();
void SetRemind(bool on);

}  // namespace storage
