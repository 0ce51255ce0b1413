// SPDX-License-Identifier: GPL-3.0-or-later
#include "powerhelper/change_ledger.h"

#include <algorithm>

namespace powerhelper {

void ChangeLedger::Record(const QString& caller, const Setting& setting, const QString& found) {
    std::vector<Holder>& stack = holders_[setting];
    const bool held = std::any_of(stack.begin(), stack.end(),
                                  [&](const Holder& holder) { return holder.caller == caller; });
    if (!held)
        stack.push_back({caller, found, nextSequence_++});
}

std::vector<Restoration> ChangeLedger::Release(const QString& caller, const QString& battery) {
    std::vector<std::pair<quint64, Restoration>> writes;
    for (auto it = holders_.begin(); it != holders_.end();) {
        std::vector<Holder>& stack = it->second;
        const bool mine = battery.isEmpty() || it->first.battery == battery;
        auto holder = std::find_if(stack.begin(), stack.end(),
                                   [&](const Holder& h) { return h.caller == caller; });
        if (mine && holder != stack.end()) {
            if (holder + 1 == stack.end())
                writes.push_back({holder->sequence, {it->first, holder->found}});
            else
                (holder + 1)->found = holder->found;
            stack.erase(holder);
        }
        it = stack.empty() ? holders_.erase(it) : std::next(it);
    }
    std::sort(writes.begin(), writes.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<Restoration> restorations;
    for (auto& write : writes)
        restorations.push_back(std::move(write.second));
    return restorations;
}

std::vector<Restoration> ChangeLedger::ReleaseAll() {
    std::vector<std::pair<quint64, Restoration>> writes;
    for (const auto& [setting, stack] : holders_)
        writes.push_back({stack.front().sequence, {setting, stack.front().found}});
    holders_.clear();
    std::sort(writes.begin(), writes.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<Restoration> restorations;
    for (auto& write : writes)
        restorations.push_back(std::move(write.second));
    return restorations;
}

bool ChangeLedger::Holds(const QString& caller) const {
    return std::any_of(holders_.begin(), holders_.end(), [&](const auto& entry) {
        return std::any_of(entry.second.begin(), entry.second.end(),
                           [&](const Holder& holder) { return holder.caller == caller; });
    });
}

QStringList ChangeLedger::Callers() const {
    QStringList callers;
    for (const auto& [setting, stack] : holders_)
        for (const Holder& holder : stack)
            if (!callers.contains(holder.caller))
                callers.append(holder.caller);
    return callers;
}

}  // namespace powerhelper
