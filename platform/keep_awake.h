// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>
#include <functional>
#include <memory>

#include "storage/lock_lines.h"

namespace platform {

// Keeps the machine from sleeping (idle, suspend, lid) while a run needs it
// awake. On Linux it asks logind and whichever desktop services are running;
// on Windows it flags the thread's execution state. Hold never waits for the
// services: their answers arrive while the event loop runs, and once every
// answer is in, one summary goes to the standard error output.
class KeepAwake {
public:
    // onSettled runs each time every answer to a Hold is in (or timed out).
    explicit KeepAwake(std::function<void()> onSettled = {});
    ~KeepAwake();
    KeepAwake(const KeepAwake&) = delete;
    KeepAwake& operator=(const KeepAwake&) = delete;

    // Does nothing while held; after Release it takes fresh locks.
    void Hold();
    // Gives back everything taken; an answer still on its way is given back
    // as it arrives. Safe to call at any time, any number of times.
    void Release();
    // Each lock's state: taken, refused (with the reason), absent, or
    // waiting for an answer; lost or taken again when its service restarted
    // during the hold. It follows the locks for as long as they are held.
    QList<storage::LockLine> Locks() const;
    QStringList Report() const { return storage::LockLineTexts(Locks()); }
    // Whether every answer to the last Hold is in.
    bool Settled() const;

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace platform
