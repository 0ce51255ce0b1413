// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QTimer>

namespace powerhelper {

class PowerHelperService;

// Quits the helper once it has held nothing for a while. The name is
// released first; a call the bus routed before the release is still served,
// and when one came in the helper takes the name again and stays.
class IdleExit : public QObject {
    Q_OBJECT

public:
    IdleExit(const QDBusConnection& bus, PowerHelperService& service, int timeoutMs, QObject* parent = nullptr);

private:
    void TimedOut();
    void Released(quint64 callsBefore);

    QDBusConnection bus_;
    PowerHelperService& service_;
    QTimer timer_;
    bool releasing_ = false;
};

}  // namespace powerhelper
