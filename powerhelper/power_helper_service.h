// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "powerhelper/change_ledger.h"
#include "powerhelper/ledger_file.h"
#include "powerhelper/polkit_check.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QObject>
#include <QStringList>
#include <map>

namespace powerhelper {

class Callers;
struct Outcome;

inline const QString kServiceName = QStringLiteral("io.github.dorvik.PowerHelper");
inline const QString kObjectPath = QStringLiteral("/io/github/dorvik/PowerHelper");

// The D-Bus face of the helper. Each change belongs to the caller's unique
// bus name, is kept in the ledger file before it is written, and is undone
// when that name leaves the bus, when the caller asks, or when the helper is
// told to stop. A caller is watched from its first call until it holds
// nothing and waits for no answer.
class PowerHelperService : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "io.github.dorvik.PowerHelper1")

public:
    // A caller may have this many changes waiting for polkit at once.
    static constexpr int kMaxPendingPerCaller = 4;

    PowerHelperService(const QDBusConnection& bus, QString sysfsRoot, LedgerFile file, QObject* parent = nullptr);

    // Stops for good: answers every waiting call with an error and puts back
    // every change of every caller; a grant that arrives later writes nothing.
    void Stop();
    // Nothing held and no answer awaited.
    bool Idle() const { return ledger_.Empty() && calls_.empty(); }
    // How many calls have come in so far.
    quint64 CallsReceived() const { return received_; }

public Q_SLOTS:
    Q_SCRIPTABLE void DischargeOnMains(const QString& battery);
    Q_SCRIPTABLE void InhibitCharge(const QString& battery);
    Q_SCRIPTABLE void LiftChargeLimit(const QString& battery);
    Q_SCRIPTABLE bool Restore(const QString& battery);
    Q_SCRIPTABLE bool RestoreSetting(const QString& battery, const QString& offer);
    Q_SCRIPTABLE QStringList Offers(const QString& battery);

Q_SIGNALS:
    // Emitted when the helper becomes idle.
    void idle();

private:
    struct Call {
        QString caller;
        QString battery;
        QString offer;
        QDBusMessage request;
        QString withdrawn;  // why the change is no longer wanted
        bool granted = false;  // and waits for the bus to say who the caller is
    };

    void Change(const QString& battery, const QString& offer);
    void Decide(quint64 id, Authorization authorization, const QString& why);
    Outcome Apply(const Call& call, uint uid);
    bool Release(const QString& caller, const QString& battery, const QString& offer, const QString& why);
    void Withdraw(const QString& caller, const QString& battery, const QString& offer, const QString& why);
    void CallerLeft(const QString& caller);
    void DecideGranted(const QString& caller);
    int PendingOf(const QString& caller) const;
    void ForgetIfDone(const QString& caller);
    void Settle();

    QDBusConnection bus_;
    QString sysfsRoot_;
    LedgerFile file_;
    ChangeLedger ledger_;
    Callers* callers_;
    std::map<quint64, Call> calls_;  // waiting for polkit
    quint64 nextCall_ = 0;
    quint64 received_ = 0;
    bool stopping_ = false;
};

}  // namespace powerhelper
