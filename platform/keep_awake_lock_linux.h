// SPDX-License-Identifier: GPL-3.0-or-later
// One inhibitor a Linux service holds for us, as KeepAwake follows it: what
// each service needs is how to ask it (a call, asked again when the service
// comes back) and what its answer holds (the action that gives the lock back).
// The asking, the restarts and the late answers are KeepAwake's, written once.
#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QLoggingCategory>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <initializer_list>
#include <memory>
#include <vector>

#include "storage/lock_lines.h"

Q_DECLARE_LOGGING_CATEGORY(lcKeepAwake)

namespace platform::keep_awake {

// How long the first summary waits for an answer; the call itself waits for
// ever, since an answer after this still holds a lock that must be kept or
// given back.
inline constexpr int kAnswerTimeoutMs = 2000;
// A service that has just taken its name may not have its objects yet.
inline constexpr int kRetryMs = 100;
inline constexpr int kRetries = 20;
// GNOME and portal inhibit flags: suspend | idle.
inline constexpr uint kSuspendAndIdle = 4 | 8;
extern const QString kAppId;
extern const QString kWho;
extern const QString kWhy;

enum class AskState { Waiting, Taken, Released, Abandoned, Refused, Absent, NoAnswer, NotNeeded, Lost };

// Turns a successful answer into the action that gives the lock back; an
// empty action means the answer held nothing.
using TakeFn = std::function<std::function<void()>(const QDBusMessage& reply)>;

struct Lock {
    Lock(QString name, QString owner, QDBusConnection connection)
        : label(std::move(name)), serviceLabel(std::move(owner)), bus(std::move(connection))
    {
    }
    QString label;
    QString serviceLabel;  // the service in words, for "after logind restarted"
    QDBusConnection bus;
    QString service;    // the bus name whose owner holds the lock
    QDBusMessage call;  // asked again when the service comes back
    TakeFn take;
    std::function<void(const QDBusMessage& reply)> onTaken;
    QString what;  // logind's lock type
    AskState state = AskState::Waiting;
    QString reason;
    std::function<void()> giveBack;
    // Bumped by every ask and every loss: an answer to an older ask is
    // given back as it arrives.
    quint64 generation = 0;
    bool pending = false;  // the current ask's answer is still on its way
    bool late = false;     // taken after the summary stopped waiting
    bool kept = false;     // the service brought it back itself
    QString after;         // why it was asked again: "logind restarted"
    int restarts = 0;
    int retries = 0;
    // A logind lock lost with its service: logind may bring its inhibitors
    // back from its own store, so the descriptor stays open until we know.
    std::function<void()> orphan;
    QStringList requestPaths;  // the portal's request objects
};
using LockPtr = std::shared_ptr<Lock>;

LockPtr NewLock(const QString& label, const QString& serviceLabel, QDBusConnection bus, QDBusMessage call,
                TakeFn take);
storage::LockLine LockOf(const Lock& lock);
QString LineOf(const Lock& lock);

// Asks a lock's service and follows the answer to its end: an answer to an
// ask nobody wants any more is given back as it arrives, and a service that
// has just started but has no objects yet is asked again shortly.
class Asker {
public:
    // answered runs when an ask ends: taken, refused, absent, or no answer in time.
    Asker(QObject* context, std::function<bool()> held, std::function<void(Lock&)> answered);
    void Ask(const LockPtr& lock);

private:
    void OnReply(const LockPtr& lock, const QDBusMessage& reply, quint64 generation);

    QObject* context_;
    std::function<bool()> held_;
    std::function<void(Lock&)> answered_;
};

bool IsError(const QDBusMessage& reply, std::initializer_list<const char*> names);
bool NotReadyYet(const QDBusMessage& reply);
void RecordFailure(Lock& lock, const QDBusMessage& reply);

QDBusMessage Call(const QString& service, const QString& path, const QString& interface, const QString& method,
                  const QVariantList& arguments, bool startService);
// Fire and forget: the service drops our inhibitors anyway when our bus
// name vanishes, so nothing waits for this answer. Never starts a service.
void Send(QDBusConnection bus, const QString& service, const QString& path, const QString& interface,
          const QString& method, const QVariantList& arguments);

// The services, one file each.
LockPtr LogindLock(const QString& what);
extern const QString kLogind;
// logind brings back the inhibitors it stored across its restart: asks it
// which kinds it holds for us, so that those are kept rather than held twice.
void AskWhatLogindKept(QObject* context, const std::function<bool()>& held,
                       const std::function<void(const QStringList& kept)>& then, int attempt = 0);
// The session's cookie inhibitors: GNOME's session manager, freedesktop's
// power management and screen saver.
std::vector<LockPtr> SessionLocks();
extern const QString kPortal;

}  // namespace platform::keep_awake
