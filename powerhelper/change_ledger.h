// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

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

// Remembers, per caller, what each setting held before the caller's first
// change to it. Callers that change the same setting stack up: giving back
// the newest writes the value found beneath it; giving back an older one
// writes nothing and hands its found value on to the caller above, so the
// setting returns to what was there before anyone once the last lets go.
class ChangeLedger {
public:
    // Notes that caller set the setting, which held found before. A caller
    // already holding the setting keeps what it found the first time.
    void Record(const QString& caller, const Setting& setting, const QString& found);

    // Lets go of what the caller holds on battery (every battery when
    // battery is empty) and returns the values to write back, in the order
    // the caller first changed them.
    std::vector<Restoration> Release(const QString& caller, const QString& battery = {});

    // Lets go of everything; the values that put every setting back.
    std::vector<Restoration> ReleaseAll();

    bool Holds(const QString& caller) const;
    bool Empty() const { return holders_.empty(); }
    QStringList Callers() const;

private:
    struct Holder {
        QString caller;
        QString found;
        quint64 sequence;
    };
    std::map<Setting, std::vector<Holder>> holders_;  // oldest first
    quint64 nextSequence_ = 0;
};

}  // namespace powerhelper
