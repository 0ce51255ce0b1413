// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace platform {

// Under Fusion, the focused button's ring is a faint line of the highlight
// colour; keyboard users lose track of it. This draws it firmly, and leaves
// every other style as it is. Call after the QApplication exists.
void StrengthenFocusRing();

}  // namespace platform
