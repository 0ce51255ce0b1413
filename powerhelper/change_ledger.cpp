// SPDX-License-Identifier: GPL-3.0-or-later
#include "powerhelper/change_ledger.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

namespace powerhelper {
namespace {

const QString kFormat = QStringLiteral("dorvik-power-helper changes");
constexpr int kVersion = 1;

}  // namespace

bool ChangeLedger::Record(const Holder& holder, const Setting& setting, const QString& found) {
    std::vector<Entry>& stack = settings_[setting];
    const bool held = std::any_of(stack.begin(), stack.end(),
                                  [&](const Entry& entry) { return entry.holder.caller == holder.caller; });
    if (!held)
        stack.push_back({holder, found, nextSequence_++});
    return !held;
}

void ChangeLedger::Drop(const QString& caller, const Setting& setting) {
    const auto it = settings_.find(setting);
    if (it == settings_.end())
        return;
    std::erase_if(it->second, [&](const Entry& entry) { return entry.holder.caller == caller; });
    if (it->second.empty())
        settings_.erase(it);
}

std::vector<Restoration> ChangeLedger::Release(const QString& caller, const QString& battery,
                                               const QStringList& attributes) {
    std::vector<std::pair<quint64, Restoration>> writes;
    for (auto it = settings_.begin(); it != settings_.end();) {
        std::vector<Entry>& stack = it->second;
        const bool mine = (battery.isEmpty() || it->first.battery == battery) &&
                          (attributes.isEmpty() || attributes.contains(it->first.attribute));
        auto entry = std::find_if(stack.begin(), stack.end(), [&](const Entry& e) { return e.holder.caller == caller; });
        if (mine && entry != stack.end()) {
            if (entry + 1 == stack.end())
                writes.push_back({entry->sequence, {it->first, entry->found}});
            else
                (entry + 1)->found = entry->found;
            stack.erase(entry);
        }
        it = stack.empty() ? settings_.erase(it) : std::next(it);
    }
    return InOrder(std::move(writes));
}

std::vector<Restoration> ChangeLedger::ReleaseAll() {
    std::vector<std::pair<quint64, Restoration>> writes;
    for (const auto& [setting, stack] : settings_)
        writes.push_back({stack.front().sequence, {setting, stack.front().found}});
    settings_.clear();
    return InOrder(std::move(writes));
}

std::vector<Restoration> ChangeLedger::InOrder(std::vector<std::pair<quint64, Restoration>> writes) const {
    std::sort(writes.begin(), writes.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<Restoration> restorations;
    for (auto& write : writes)
        restorations.push_back(std::move(write.second));
    return restorations;
}

bool ChangeLedger::Holds(const QString& caller) const {
    return HoldsUnder(caller, QString(), QString());
}

bool ChangeLedger::HoldsUnder(const QString& caller, const QString& battery, const QString& action) const {
    return std::any_of(settings_.begin(), settings_.end(), [&](const auto& setting) {
        return (battery.isEmpty() || setting.first.battery == battery) &&
               std::any_of(setting.second.begin(), setting.second.end(), [&](const Entry& entry) {
                   return entry.holder.caller == caller && (action.isEmpty() || entry.holder.action == action);
               });
    });
}

QStringList ChangeLedger::Callers() const {
    QStringList callers;
    for (const auto& [setting, stack] : settings_)
        for (const Entry& entry : stack)
            if (!callers.contains(entry.holder.caller))
                callers.append(entry.holder.caller);
    return callers;
}

QList<uint> ChangeLedger::UsersOf(const QString& battery) const {
    QList<uint> users;
    for (const auto& [setting, stack] : settings_)
        for (const Entry& entry : stack)
            if (setting.battery == battery && !users.contains(entry.holder.uid))
                users.append(entry.holder.uid);
    return users;
}

QByteArray ChangeLedger::ToJson() const {
    QJsonArray changes;
    for (const auto& [setting, stack] : settings_)
        for (const Entry& entry : stack)
            changes.append(QJsonObject{{QStringLiteral("battery"), setting.battery},
                                       {QStringLiteral("attribute"), setting.attribute},
                                       {QStringLiteral("found"), entry.found},
                                       {QStringLiteral("uid"), static_cast<qint64>(entry.holder.uid)},
                                       {QStringLiteral("caller"), entry.holder.caller},
                                       {QStringLiteral("action"), entry.holder.action},
                                       {QStringLiteral("sequence"), static_cast<qint64>(entry.sequence)}});
    const QJsonObject document{{QStringLiteral("format"), kFormat},
                               {QStringLiteral("version"), kVersion},
                               {QStringLiteral("changes"), changes}};
    return QJsonDocument(document).toJson();
}

bool ChangeLedger::FromJson(const QByteArray& json, ChangeLedger& ledger, QString* error) {
    QJsonParseError parseError;
    const QJsonObject document = QJsonDocument::fromJson(json, &parseError).object();
    if (document.value(QStringLiteral("format")).toString() != kFormat ||
        document.value(QStringLiteral("version")).toInt() < 1) {
        if (error)
            *error = parseError.error != QJsonParseError::NoError ? parseError.errorString()
                                                                  : QStringLiteral("not a ledger of changes");
        return false;
    }
    ledger = {};
    std::vector<std::pair<quint64, std::pair<Setting, Entry>>> entries;
    for (const QJsonValue& value : document.value(QStringLiteral("changes")).toArray()) {
        const QJsonObject change = value.toObject();
        const QJsonValue battery = change.value(QStringLiteral("battery"));
        const QJsonValue attribute = change.value(QStringLiteral("attribute"));
        const QJsonValue found = change.value(QStringLiteral("found"));
        if (!battery.isString() || !attribute.isString() || !found.isString())
            continue;
        const auto sequence = static_cast<quint64>(change.value(QStringLiteral("sequence")).toInteger());
        const Holder holder{change.value(QStringLiteral("caller")).toString(),
                            static_cast<uint>(change.value(QStringLiteral("uid")).toInteger()),
                            change.value(QStringLiteral("action")).toString()};
        entries.push_back({sequence, {{battery.toString(), attribute.toString()}, {holder, found.toString(), sequence}}});
    }
    std::stable_sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto& [sequence, entry] : entries) {
        ledger.settings_[entry.first].push_back(std::move(entry.second));
        ledger.nextSequence_ = std::max(ledger.nextSequence_, sequence + 1);
    }
    return true;
}

}  // namespace powerhelper
