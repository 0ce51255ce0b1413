// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

namespace app {

// Whether the window has something to show on. The Qt platform is the one a
// -platform option names, else QT_QPA_PLATFORM; one that draws by itself
// (offscreen, minimal, vnc, eglfs, linuxfb...) needs no display server, and a
// fallback list ("xcb;offscreen") needs none when any of its entries needs
// none. Any other needs DISPLAY or WAYLAND_DISPLAY to be set (displayNamed).
bool WindowHasDisplay(const QStringList& arguments, const QString& qpaPlatform, bool displayNamed);

// Checks the real command line and environment before the window's
// application is built, where Qt would abort without a display; says so in
// one line when there is none. Always true off Linux.
bool CheckWindowDisplay(int argc, char* argv[]);

}  // namespace app
