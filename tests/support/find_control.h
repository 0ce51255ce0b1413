#pragma once

#include <QString>
#include <QWidget>

// The control of a window with the given accessible name, as a screen
// reader or a user would find it.
template <typename Control>
Control* FindByAccessibleName(QWidget& window, const QString& accessibleName)
{
    for (Control* control : window.findChildren<Control*>())
        if (control->accessibleName() == accessibleName)
            return control;
    return nullptr;
}
