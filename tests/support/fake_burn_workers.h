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
        int count;
    };
    explicit FakeBurnWorkers(std::function<qint64()> now) : now_(std::move(now)) {}
    void Burn(int count) override
    {
        if (count != (changes.isEmpty() ? 0 : changes.last().count))
            changes.append({now_(), count > 0, count});
    }
    bool Burning() const override { return !changes.isEmpty() && changes.last().burning; }
    int Count() const override { return full; }

    int full = 4;
    QList<Change> changes;

private:
    std::function<qint64()> now_;
};
