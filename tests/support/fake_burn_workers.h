// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <functional>

#include "platform/burn_workers.h"

// A worker pool that burns nothing and records each start and stop with
// the simulated time it happened.
class FakeBurnWorkers : public platform::BurnWorkers {
public:
    struct Change {
        qint64 ms;
        bool burning;
    };
    explicit FakeBurnWorkers(std::function<qint64()> now) : now_(std::move(now)) {}
    void SetBurning(bool burning) override
    {
        if (burning != Burning())
            changes.append({now_(), burning});
    }
    bool Burning() const override { return !changes.isEmpty() && changes.last().burning; }

    QList<Change> changes;

private:
    std::function<qint64()> now_;
};
