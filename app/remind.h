// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace app {

// dorvik --remind, run at every login: on the running QCoreApplication,
// without a window or a widget, decides whether a calibration is due and,
// when it is, sends a notice whose click starts Dorvik, waits a while for
// that click or the notice's closing, and exits. Quiet and quick when
// nothing is due, when no run ever ran out, or when Remind=false in
// dorvik.conf. Returns the exit code.
int Remind();

}  // namespace app
