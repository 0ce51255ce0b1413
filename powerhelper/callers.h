// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <map>
#include <optional>

class QDBusServiceWatcher;

namespace powerhelper {

// The callers the helper keeps an eye on: each is watched for leaving the
// bus from its first call until it is forgotten, and its user and process
// are asked of the bus once, without waiting, for the log and the ledger.
class Callers : public QObject {
    Q_OBJECT

public:
    explicit Callers(const QDBusConnection& bus, QObject* parent = nullptr);

    // Starts watching the caller, if it is not watched yet.
    void Watch(const QString& caller);
    // Stops watching it: it holds nothing and waits for nothing.
    void Forget(const QString& caller);
    bool Watched(const QString& caller) const { return callers_.count(caller) > 0; }
    int Count() const { return static_cast<int>(callers_.size()); }

    // The caller's user, once the bus has said; nothing before, or when the
    // caller had left by the time the bus was asked.
    std::optional<uint> UserOf(const QString& caller) const;
    // Whether the caller is known to have left the bus.
    bool Gone(const QString& caller) const;
    // ":1.42 (uid 1000, pid 4321)", for the log.
    QString Describe(const QString& caller) const;

Q_SIGNALS:
    void left(const QString& caller);
    // The bus has answered who the caller is (or that it had left).
    void identified(const QString& caller);

private:
    struct Caller {
        std::optional<uint> uid;
        std::optional<uint> pid;
        bool gone = false;
    };
    void Ask(const QString& caller, const QString& method, std::optional<uint> Caller::*into);
    void Left(const QString& caller);

    QDBusConnection bus_;
    QDBusServiceWatcher* watcher_;
    std::map<QString, Caller> callers_;
};

}  // namespace powerhelper
