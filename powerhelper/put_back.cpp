// SPDX-License-Identifier: GPL-3.0-or-later
#include "powerhelper/put_back.h"

#include "powerhelper/battery_changes.h"
#include "powerhelper/ledger_file.h"
#include "powerhelper/log.h"

#include <map>

namespace powerhelper {

QStringList PutBackAll(const QString& sysfsRoot, const std::vector<Restoration>& restorations, const QString& whom) {
    std::map<QString, std::vector<std::pair<QString, QString>>> byBattery;
    for (const Restoration& restoration : restorations)
        byBattery[restoration.setting.battery].emplace_back(restoration.setting.attribute, restoration.value);
    QStringList failures;
    for (const auto& [name, values] : byBattery) {
        qCInfo(lcPowerHelper).noquote() << "restoring" << name << whom;
        Outcome outcome;
        if (const auto attributes = BatteryAttributes::Open(sysfsRoot, name, outcome))
            outcome = PutBack(*attributes, values);
        if (!outcome.ok()) {
            qCWarning(lcPowerHelper).noquote() << "could not restore" << name << ":" << outcome.message;
            failures << outcome.message;
        }
    }
    return failures;
}

bool PutBackLeftovers(const QString& sysfsRoot, const LedgerFile& file) {
    ChangeLedger ledger;
    QString error;
    if (!file.Load(ledger, &error)) {
        qCCritical(lcPowerHelper).noquote() << error;
        return false;
    }
    if (ledger.Empty())
        return true;
    const std::vector<Restoration> restorations = ChangeLedger(ledger).ReleaseAll();
    for (const Restoration& restoration : restorations)
        qCInfo(lcPowerHelper).noquote().nospace()
            << "left changed by an earlier run for uid " << ledger.UsersOf(restoration.setting.battery) << ": "
            << restoration.setting.attribute << " of " << restoration.setting.battery << " was " << restoration.value;
    const QStringList failures = PutBackAll(sysfsRoot, restorations, QStringLiteral("as an earlier run left it"));
    // What could not be put back is in the log; the file is not replayed for ever.
    if (!file.Save(ChangeLedger(), &error)) {
        qCCritical(lcPowerHelper).noquote() << error;
        return false;
    }
    return failures.isEmpty();
}

}  // namespace powerhelper
