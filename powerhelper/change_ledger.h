// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <map>
#include <vector>

namespace powerhelper {

// One attribute of one battery.
struct Setting {
    QString battery;
    QString attribute;
    bool operator==(const Setting&) const = default;
    bool operator<(const Setting& other) const {
        return battery != other.battery ? battery < other.battery : attribute < other.attribute;
    }
};

struct Restoration {
    Setting setting;
    QString value;
    bool operator==(const Restoration&) const = default;
};

// Who changed a setting: the caller's unique bus name, its user and the
// polkit action that allowed it.
struct Holder {
    QString caller;
    uint uid = 0;
    QString action;
};

// Remembers, per caller, what each setting held before the caller's first
// change to it. Callers that change the same setting stack up: giving back
// the newest writes the value found beneath it; giving back an older one
// writes nothing and hands its found value on to the caller above, so the
// setting returns to what was there before anyone once the last lets go.
class ChangeLedger {
public:
    // Notes that the holder set the setting, which held found before. A
    // caller already holding the setting keeps what it found the first
    // time, and false is returned.
    bool Record(const Holder& holder, const Setting& setting, const QString& found);
    // Forgets a Record whose write was undone before it was kept.
    void Drop(const QString& caller, const Setting& setting);

    // Lets go of what the caller holds on battery (every battery when
    // battery is empty), of the given attributes only when some are given,
    // and returns the values to write back, in the order the caller first
    // changed them.
    std::vector<Restoration> Release(const QString& caller, const QString& battery = {},
                                     const QStringList& attributes = {});

    // Lets go of everything; the values that put every setting back.
    std::vector<Restoration> ReleaseAll();

    bool Holds(const QString& caller) const;
    // Whether the caller holds a change on battery made under action.
    bool HoldsUnder(const QString& caller, const QString& battery, const QString& action) const;
    bool Empty() const { return settings_.empty(); }
    QStringList Callers() const;
    // The users on whose behalf the settings of battery were changed.
    QList<uint> UsersOf(const QString& battery) const;

    // The ledger as kept on disk, and read back: a named, versioned JSON
    // document; unknown keys are ignored, entries lacking a field skipped.
    QByteArray ToJson() const;
    static bool FromJson(const QByteArray& json, ChangeLedger& ledger, QString* error);

private:
    struct Entry {
        Holder holder;
        QString found;
        quint64 sequence;
    };
    std::vector<Restoration> InOrder(std::vector<std::pair<quint64, Restoration>> writes) const;

    std::map<Setting, std::vector<Entry>> settings_;  // oldest first
    quint64 nextSequence_ = 0;
};

}  // namespace powerhelper
