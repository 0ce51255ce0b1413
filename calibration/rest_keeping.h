// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

#include "calibration/battery_rest.h"
#include "power/battery_details.h"
#include "report/rest_record.h"

namespace calibration {

inline const QString kSkipRest = QStringLiteral("Skip the rest");
inline const QString kLeaveOffNotice =
    QStringLiteral("When the machine has switched off, leave it off for an hour before you reconnect the adaptor: "
                   "the gauge takes its reading at rest.");

// The battery as a rest reads it: the kernel's units.
RestReading RestReadingOf(const power::BatteryDetails& details, qint64 ms);
// Why a run on mains cannot rest the battery; nothing when it can.
std::optional<report::NoRestReason> NoRestOnMains(bool offersInhibit, const power::BatteryDetails& details);
// How a rest ended, in the record's words: broken when the run ended it.
report::RestOutcome RestOutcomeOf(RestState state, bool broken);

// The side box's line and the notices at a rest's start and end.
QString RestChoiceText(RestPlace place);
QString RestStartNoticeText(RestPlace place);
QString RestEndNoticeText(RestPlace place, report::RestOutcome outcome, qint64 minutes);

// One rest as the record will keep it: the test, when it began, and the
// voltages read, kept for a record that does not exist yet.
class KeptRest {
public:
    KeptRest(RestPlace place, QDateTime start, qint64 startMs) : test_(place, startMs), start_(std::move(start)) {}
    void Feed(const power::BatteryDetails& details, const QDateTime& time, qint64 ms);
    BatteryRest& Test() { return test_; }
    const BatteryRest& Test() const { return test_; }
    report::RestSpan Span(const QDateTime& end, report::RestOutcome outcome) const;
    // Its place in the record's words.
    report::RestSpot Spot() const
    {
        return test_.Place() == RestPlace::Full ? report::RestSpot::Full : report::RestSpot::Empty;
    }
    const QList<report::RestVoltage>& Voltages() const { return voltages_; }

private:
    BatteryRest test_;
    QDateTime start_;
    QList<report::RestVoltage> voltages_;
};

// What a run learned of its rests before its record started, written to it
// when it does.
struct PendingRests {
    QList<report::RestSpan> spans;
    QList<report::NoRest> missed;
    QList<report::RestVoltage> voltages;
    bool Empty() const { return spans.isEmpty() && missed.isEmpty() && voltages.isEmpty(); }
};

}  // namespace calibration
