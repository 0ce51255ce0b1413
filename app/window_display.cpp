// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/window_display.h"

#include <QtGlobal>
#include <algorithm>
#include <cstdio>

namespace app {
namespace {

// Qt's Linux platforms that reach no display server.
const QStringList kSelfDrawn = {QStringLiteral("offscreen"), QStringLiteral("minimal"),
                                QStringLiteral("minimalegl"), QStringLiteral("vnc"),
                                QStringLiteral("eglfs"),      QStringLiteral("linuxfb"),
                                QStringLiteral("vkkhrdisplay"), QStringLiteral("directfb")};

// The last -platform or --platform value, as Qt takes it; else QT_QPA_PLATFORM.
QString PlatformOf(const QStringList& arguments, const QString& qpaPlatform)
{
    QString platform = qpaPlatform;
    for (qsizetype i = 1; i + 1 < arguments.size(); ++i) {
        if (arguments[i] == QLatin1String("-platform") || arguments[i] == QLatin1String("--platform"))
            platform = arguments[++i];
    }
    return platform;
}

}  // namespace

bool WindowHasDisplay(const QStringList& arguments, const QString& qpaPlatform, bool displayNamed)
{
    if (displayNamed)
        return true;
    const QStringList entries = PlatformOf(arguments, qpaPlatform).split(QLatin1Char(';'));
    return std::any_of(entries.begin(), entries.end(), [](const QString& entry) {
        return kSelfDrawn.contains(entry.section(QLatin1Char(':'), 0, 0).trimmed());  // "vnc:size=800x600"
    });
}

bool CheckWindowDisplay(int argc, char* argv[])
{
#ifdef Q_OS_LINUX
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const bool displayNamed = !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    if (WindowHasDisplay(arguments, qEnvironmentVariable("QT_QPA_PLATFORM"), displayNamed))
        return true;
    std::fputs("dorvik: no display to open the window on (neither DISPLAY nor WAYLAND_DISPLAY is set); "
               "use dorvik --status or dorvik --report, which need none\n",
               stderr);
    return false;
#else
    Q_UNUSED(argc);
    Q_UNUSED(argv);
    return true;
#endif
}

}  // namespace app
