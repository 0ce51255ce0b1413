// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

class QLockFile;

namespace app {

enum class InstanceClaim {
    First,           // this is the one window: go on
    OtherActivated,  // another window runs and was asked to raise itself
    OtherRunning,    // another window runs and could not be asked
};

// One Dorvik window at a time: two would run two calibrations into one log.
// The first owns its bus name (io.github.dorvik.Dorvik, the demo its own) on
// the session bus and answers its Activate method; without a session bus a
// lock file does the same job.
class SingleInstance {
public:
    // lockPath: the lock file for when there is no session bus.
    // onActivate: runs when a later start asks this one to raise itself.
    SingleInstance(QString busName, QString lockPath, std::function<void()> onActivate);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    InstanceClaim Claim();

private:
    QString busName_;
    QString lockPath_;
    std::function<void()> onActivate_;
    std::unique_ptr<QObject> busObject_;
    std::unique_ptr<QLockFile> lock_;
};

namespace detail {
// The session-bus half: nothing when there is no session bus to use.
std::optional<InstanceClaim> ClaimOnSessionBus(const QString& name, std::unique_ptr<QObject>& busObject,
                                               std::function<void()> onActivate);
}  // namespace detail

}  // namespace app
