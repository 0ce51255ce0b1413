// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

class QSocketNotifier;

namespace powerhelper {

// Turns SIGTERM and SIGINT into a Qt signal through a self-pipe, so that the
// work they ask for runs in the event loop, not in a signal handler.
class TerminationSignals : public QObject {
    Q_OBJECT

public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

Q_SIGNALS:
    void received(int signal);

private:
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace powerhelper
