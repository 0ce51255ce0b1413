// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop portal's inhibitor, for sandboxes, where none of the session
// services is reachable. It answers with a request object, and may refuse
// later through that object's Response signal.
#pragma once

#include <functional>
#include <memory>

#include "platform/keep_awake_lock_linux.h"

namespace platform::keep_awake {

class PortalResponses;

class Portal {
public:
    // onRefused runs when the portal refuses a lock through its request object.
    explicit Portal(std::function<void(Lock&)> onRefused);
    ~Portal();
    Portal(const Portal&) = delete;
    Portal& operator=(const Portal&) = delete;

    // The lock, not asked yet.
    LockPtr NewLock() const;
    // Readies a fresh ask of the lock: a call with a new token, its request followed.
    void Prepare(const LockPtr& lock);
    void Unfollow(const LockPtr& lock);

private:
    void FollowRequest(const LockPtr& lock, const QString& path);
    void OnResponse(const QString& path, uint response);

    std::function<void(Lock&)> onRefused_;
    std::unique_ptr<PortalResponses> responses_;
    std::weak_ptr<Lock> lock_;
    int tokens_ = 0;
};

}  // namespace platform::keep_awake
