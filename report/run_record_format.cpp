// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/run_record_format.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <tuple>

#include "power/system_power_status.h"
#include "report/record_fields.h"
#include "storage/lock_lines.h"

namespace report {
namespace {

const QByteArray kMarkerName = QByteArrayLiteral("dorvik-run-record,");
const QByteArray kMarker = kMarkerName + '1';

// The columns this version knows, in the order its writer writes them.
enum Column { kTime, kAwake, kAc, kPercent, kStatus, kMode, kEnergy, kFull, kDesign, kPower, kVoltage, kRemaining, kDischarge,
              kBatteryCelsius, kZoneCelsius, kZoneType, kHeldBack, kColumns };
const QLatin1String kColumnNames[kColumns] = {QLatin1String("time"),      QLatin1String("awake_s"),
                                              QLatin1String("ac"),        QLatin1String("percent"),
                                              QLatin1String("status"),    QLatin1String("mode"),
                                              QLatin1String("energy_wh"), QLatin1String("full_wh"),
                                              QLatin1String("design_wh"), QLatin1String("power_w"),
                                              QLatin1String("voltage_v"), QLatin1String("remaining_s"),
                                              QLatin1String("discharge"), QLatin1String("battery_c"),
                                              QLatin1String("zone_c"),    QLatin1String("zone_type"),
                                              QLatin1String("held_back_s")};
const QByteArray kHeader = [] {
    QStringList names;
    for (const QLatin1String& name : kColumnNames)
        names.append(name);
    return names.join(QLatin1Char(',')).toLatin1();
}();
// A sample's own bounds, beyond any laptop's battery.
constexpr double kEnergyLimitWh = 1000, kPowerLimitW = 500, kVoltageLimitV = 100;
constexpr qint64 kAwakeLimit = qint64(1) << 40;
constexpr qsizetype kReasonLimit = 200;

const QByteArray kEndLine = QByteArrayLiteral("end,");
const QByteArray kLogLine = QByteArrayLiteral("log,");
const QByteArray kModeLine = QByteArrayLiteral("mode,");
const QByteArray kStoppedLine = QByteArrayLiteral("stopped,");
const QString kOnMains = QStringLiteral("on-mains");

// Applies one "key,value" line; false when it is no fact or its value is damaged.
bool ApplyFact(const QStringList& fields, RunFacts& facts)
{
    if (fields.size() < 2)
        return false;
    const QString& key = fields[0];
    const QString& value = fields[1];
    const bool pair = fields.size() == 2;  // only a later version's facts may hold more
    if (key == QLatin1String("start")) {
        const auto time = Time(value);
        facts.start = time.value_or(QDateTime());
        return pair && time.has_value();
    }
    if (key == QLatin1String("models"))
        facts.batteryModels = value;
    else if (key == QLatin1String("manufacturer"))
        facts.batteryManufacturer = value;
    else if (key == QLatin1String("serial"))
        facts.batterySerial = value;
    else if (key == QLatin1String("kept_awake"))
        facts.keptAwake.append(value);
    else if (key == QLatin1String("boot_id"))
        facts.bootId = value;
    else if (key == QLatin1String("discharge"))
        facts.onMains = value == kOnMains;
    else if (key == QLatin1String("locale"))
        facts.locale = value;
    else if (key == QLatin1String("lock"))
        facts.unlocked = value == QLatin1String("none");
    else if (key == QLatin1String("pid"))
        facts.writerPid = Whole(value, 0, std::numeric_limits<qint64>::max()).value_or(0);
    else if (key == QLatin1String("mode")) {
        const auto fast = Mode(value);
        facts.fast = fast.value_or(true);
        return pair && fast.has_value();
    } else if (key == QLatin1String("cycles")) {
        const auto cycles = value.isEmpty() ? std::optional<qint64>(-1) : Whole(value, 0, 1000000);
        facts.cycleCount = cycles && *cycles >= 0 ? std::optional<int>(int(*cycles)) : std::nullopt;
        return pair && cycles.has_value();
    } else if (key == QLatin1String("design_wh") || key == QLatin1String("full_wh")) {
        const auto quantity = Quantity(value);
        (key == QLatin1String("design_wh") ? facts.designWh : facts.fullWh) = quantity.value_or(std::nullopt);
        return pair && quantity.has_value();
    } else {
        return true;  // a fact of a later version: not ours to judge
    }
    return pair;
}

// Where the header puts each known column, -1 when it has none, and how many
// fields a sample line holds.
struct Columns {
    std::array<qsizetype, kColumns> at;
    qsizetype count = 0;
};

// Nothing when the header lacks a required column.
std::optional<Columns> HeaderColumns(const QStringList& names)
{
    Columns columns;
    columns.at.fill(-1);
    columns.count = names.size();
    for (qsizetype i = names.size() - 1; i >= 0; --i) {  // the first of two same names counts
        for (int column = 0; column < kColumns; ++column) {
            if (names[i] == kColumnNames[column])
                columns.at[column] = i;
        }
    }
    if (columns.at[kTime] < 0 || columns.at[kAwake] < 0 || columns.at[kPercent] < 0)
        return std::nullopt;
    return columns;
}

// One sample line; a missing column reads as unknown, a mode as the run's.
std::optional<RunSample> Sample(const QStringList& fields, const Columns& columns, bool runFast)
{
    static const QString kMissing;
    if (fields.size() != columns.count)
        return std::nullopt;
    const auto field = [&](Column column) -> const QString& {
        return columns.at[column] < 0 ? kMissing : fields[columns.at[column]];
    };
    const auto time = Time(field(kTime));
    const auto awake = Whole(field(kAwake), 0, kAwakeLimit);
    constexpr qint64 kUnknown = power::kUnknownByte;
    const auto ac = columns.at[kAc] < 0 ? std::optional<qint64>(kUnknown) : Whole(field(kAc), 0, kUnknown);
    const auto percent = Whole(field(kPercent), 0, kUnknown);
    const auto fast = columns.at[kMode] < 0 ? std::optional<bool>(runFast) : Mode(field(kMode));
    const auto remaining =
        field(kRemaining).isEmpty() ? std::optional<qint64>(-1) : Whole(field(kRemaining), -1, kAwakeLimit);
    const auto heldBack = field(kHeldBack).isEmpty() ? std::optional<qint64>(0) : Whole(field(kHeldBack), 0, kAwakeLimit);
    const auto battery = Celsius(field(kBatteryCelsius)), zone = Celsius(field(kZoneCelsius));
    if (!time || !awake || !ac || (*ac > 1 && *ac != kUnknown) || !percent || (*percent > 100 && *percent != kUnknown)
        || !fast || !remaining || !heldBack || !battery || !zone)
        return std::nullopt;
    RunSample sample{.time = *time,
                     .awakeSeconds = *awake,
                     .acLineStatus = int(*ac),
                     .percent = int(*percent),
                     .batteryStatus = field(kStatus),
                     .fast = *fast,
                     .remainingSeconds = *remaining,
                     .dischargeOnMains = field(kDischarge) == kOnMains,
                     .batteryCelsius = *battery,
                     .zoneCelsius = *zone,
                     .zoneType = field(kZoneType).left(kReasonLimit),
                     .heldBackSeconds = *heldBack};
    const std::tuple<Column, std::optional<double>*, double> quantities[] = {
        {kEnergy, &sample.energyWh, kEnergyLimitWh}, {kFull, &sample.fullWh, kEnergyLimitWh},
        {kDesign, &sample.designWh, kEnergyLimitWh}, {kPower, &sample.powerW, kPowerLimitW},
        {kVoltage, &sample.voltageV, kVoltageLimitV}};
    for (const auto& [column, value, limit] : quantities) {
        const auto quantity = Quantity(field(column), limit);
        if (!quantity)
            return std::nullopt;
        *value = *quantity;
    }
    return sample;
}

// Whether the marker line names a later major format: a whole number above 1,
// maybe followed by more after a '.' or ',' that this version cannot judge.
bool NewerMarker(const QByteArray& line)
{
    if (!line.startsWith(kMarkerName))
        return false;
    const QByteArray version = line.mid(kMarkerName.size());
    qsizetype digits = 0;
    while (digits < version.size() && version[digits] >= '0' && version[digits] <= '9')
        ++digits;
    const bool ended = digits == version.size() || version[digits] == '.' || version[digits] == ',';
    return digits > 0 && version[0] != '0' && ended && version.left(digits) != "1";
}

// A later line about a lock stands in for the earlier one of the same lock;
// a lock taken later ends "nothing was taken".
void UpdateKeptAwakeFact(QStringList& keptAwake, const QString& line)
{
    if (storage::ParseLockLine(line).state == storage::LockState::Taken)
        keptAwake.removeIf([](const QString& earlier) {
            return storage::ParseLockLine(earlier).state == storage::LockState::NothingTaken;
        });
    const QString name = line.section(QStringLiteral(": "), 0, 0) + QStringLiteral(": ");
    for (QString& earlier : keptAwake) {
        if (earlier.startsWith(name)) {
            earlier = line;
            return;
        }
    }
    keptAwake.append(line);
}

// "log,<time>,<minutes>"; nothing when damaged.
std::optional<LogWrite> LogWriteOf(const QStringList& fields)
{
    const auto time = fields.size() == 3 ? Time(fields[1]) : std::nullopt;
    const auto minutes = time ? Whole(fields[2], -kAwakeLimit, kAwakeLimit) : std::nullopt;
    if (!minutes)
        return std::nullopt;
    return LogWrite{*time, *minutes};
}

// "mode,<time>,<awake_s>,<mode>"; nothing when damaged.
std::optional<ModeSwitch> ModeSwitchOf(const QStringList& fields)
{
    const auto time = fields.size() == 4 ? Time(fields[1]) : std::nullopt;
    const auto awake = time ? Whole(fields[2], 0, kAwakeLimit) : std::nullopt;
    const auto fast = awake ? Mode(fields[3]) : std::nullopt;
    if (!fast)
        return std::nullopt;
    return ModeSwitch{*awake, *fast};
}

// "stopped,<time>,<minutes>,<reason>"; nothing when damaged.
std::optional<RecordStop> RecordStopOf(const QStringList& fields)
{
    const auto time = fields.size() == 4 ? Time(fields[1]) : std::nullopt;
    const auto minutes = time ? Whole(fields[2], 0, kAwakeLimit) : std::nullopt;
    if (!minutes || fields[3].isEmpty())
        return std::nullopt;
    return RecordStop{*minutes, fields[3].left(kReasonLimit)};
}

// The wall clock's run from `from` to `to` added to `ran`: its steps back are
// someone setting it, so only its steps forward add up.
qint64 WallRan(qint64 ran, const QDateTime& from, const QDateTime& to)
{
    return ran + std::max<qint64>(0, from.secsTo(to));
}

// Log writes are held to the samples' rule: no more minutes than the wall
// clock ran since the start, and none running back; the last one kept counts.
void KeepPossibleLogWrites(RunRecord& record, const QList<LogWrite>& writes)
{
    qint64 wall = 0;
    for (const LogWrite& write : writes) {
        const QDateTime& previous = record.lastLog ? record.lastLog->time : record.facts.start;
        const qint64 ran = WallRan(wall, previous, write.time);
        if (write.minutes >= 0 && write.minutes * 60 <= ran + 60 + kAwakeAllowance
            && (!record.lastLog || write.minutes >= record.lastLog->minutes)) {
            wall = ran;
            record.lastLog = write;
        } else {
            ++record.setAside;
        }
    }
}

// A standby ran the battery out only on the evidence a switch-off needs, in
// the last sample on battery before it; otherwise the machine slept with charge.
void JudgeStandby(RunRecord& record)
{
    if (record.ending != RunEnding::Standby)
        return;
    const auto onBattery = std::find_if(record.samples.crbegin(), record.samples.crend(), [](const RunSample& s) {
        return s.acLineStatus == power::kAcOffline;
    });
    if (onBattery == record.samples.crend() || !SampleNearEmpty(*onBattery))
        record.ending = RunEnding::StandbyWithCharge;
}

// Sets aside the samples the record's own clocks rule out: the machine cannot
// be awake longer than the wall clock ran since the start, and awake time
// never runs back. The wall clock's steps back are someone setting it, so
// only its steps forward add up.
void SetAsideImpossible(RunRecord& record)
{
    QList<RunSample> kept;
    kept.reserve(record.samples.size());
    qint64 wall = 0;
    for (const RunSample& sample : std::as_const(record.samples)) {
        const QDateTime& previous = kept.isEmpty() ? record.facts.start : kept.last().time;
        const qint64 ran = WallRan(wall, previous, sample.time);
        if (sample.awakeSeconds <= ran + kAwakeAllowance
            && (kept.isEmpty() || sample.awakeSeconds >= kept.last().awakeSeconds)) {
            wall = ran;
            kept.append(sample);
        } else {
            ++record.setAside;
        }
    }
    record.samples = std::move(kept);
}

}  // namespace

QByteArray RecordText(const RunFacts& facts)
{
    QByteArray text = kMarker + '\n';
    text += Line({QStringLiteral("start"), TimeField(facts.start)});
    text += Line({QStringLiteral("models"), CsvField(facts.batteryModels)});
    if (!facts.batteryManufacturer.isEmpty())
        text += Line({QStringLiteral("manufacturer"), CsvField(facts.batteryManufacturer)});
    if (!facts.batterySerial.isEmpty())
        text += Line({QStringLiteral("serial"), CsvField(facts.batterySerial)});
    text += Line({QStringLiteral("design_wh"), NumberField(facts.designWh)});
    text += Line({QStringLiteral("full_wh"), NumberField(facts.fullWh)});
    text += Line({QStringLiteral("cycles"), facts.cycleCount ? QString::number(*facts.cycleCount) : QString()});
    text += Line({QStringLiteral("mode"), ModeField(facts.fast)});
    for (const QString& line : facts.keptAwake)
        text += Line({QStringLiteral("kept_awake"), CsvField(line)});
    if (!facts.bootId.isEmpty())
        text += Line({QStringLiteral("boot_id"), CsvField(facts.bootId)});
    if (facts.onMains)
        text += Line({QStringLiteral("discharge"), kOnMains});
    if (!facts.locale.isEmpty())
        text += Line({QStringLiteral("locale"), CsvField(facts.locale)});
    if (facts.writerPid > 0)
        text += Line({QStringLiteral("pid"), QString::number(facts.writerPid)});
    if (facts.unlocked)
        text += Line({QStringLiteral("lock"), QStringLiteral("none")});
    return text + kHeader + '\n';
}

QByteArray SampleLine(const RunSample& sample)
{
    return Line({TimeField(sample.time), QString::number(sample.awakeSeconds), QString::number(sample.acLineStatus),
                 QString::number(sample.percent), CsvField(sample.batteryStatus), ModeField(sample.fast),
                 NumberField(sample.energyWh), NumberField(sample.fullWh), NumberField(sample.designWh),
                 NumberField(sample.powerW), NumberField(sample.voltageV),
                 sample.remainingSeconds < 0 ? QString() : QString::number(sample.remainingSeconds),
                 sample.dischargeOnMains ? kOnMains : QString(), NumberField(sample.batteryCelsius),
                 NumberField(sample.zoneCelsius), CsvField(sample.zoneType),
                 sample.heldBackSeconds > 0 ? QString::number(sample.heldBackSeconds) : QString()});
}

QByteArray KeptAwakeRecordLine(const QString& line)
{
    return Line({QStringLiteral("kept_awake"), CsvField(line)});
}

QByteArray LogWriteLine(const LogWrite& write)
{
    return Line({QStringLiteral("log"), TimeField(write.time), QString::number(write.minutes)});
}

QByteArray ModeSwitchLine(const QDateTime& time, const ModeSwitch& change)
{
    return Line({QStringLiteral("mode"), TimeField(time), QString::number(change.awakeSeconds), ModeField(change.fast)});
}

QByteArray RecordStopLine(const QDateTime& time, const RecordStop& stop)
{
    return Line({QStringLiteral("stopped"), TimeField(time), QString::number(stop.minutes),
                 CsvField(stop.reason.left(kReasonLimit))});
}

QByteArray EndLine(RunEnding ending, const QDateTime& time)
{
    const QLatin1String reason = EndingStoredWord(ending);
    return reason.isEmpty() ? QByteArray() : Line({QStringLiteral("end"), reason, TimeField(time)});
}

ParsedRunRecord ParseRunRecord(const QByteArray& bytes)
{
    const QList<QByteArray> lines = CompleteLines(bytes);
    if (lines.isEmpty() || lines.first() != kMarker)
        return {.newer = !lines.isEmpty() && NewerMarker(lines.first())};
    RunRecord record;
    qsizetype i = 1;
    for (; i < lines.size() && !lines[i].startsWith("time,"); ++i) {
        if (lines[i].size() > kRecordLineLimit)
            return {};
        const auto fields = CsvFields(QString::fromUtf8(lines[i]));
        if (!fields || !ApplyFact(*fields, record.facts))
            return {};
    }
    if (i >= lines.size() || !record.facts.start.isValid())
        return {};  // the facts were cut short
    const auto names = lines[i].size() > kRecordLineLimit ? std::nullopt : CsvFields(QString::fromUtf8(lines[i]));
    const auto columns = names ? HeaderColumns(*names) : std::nullopt;
    if (!columns)
        return {};
    QList<LogWrite> logWrites;
    for (++i; i < lines.size(); ++i) {
        if (lines[i].size() > kRecordLineLimit)
            continue;
        const auto fields = CsvFields(QString::fromUtf8(lines[i]));
        if (fields && fields->size() == 2 && fields->first() == QLatin1String("kept_awake")) {
            UpdateKeptAwakeFact(record.facts.keptAwake, fields->at(1));
            continue;
        }
        if (fields && lines[i].startsWith(kLogLine)) {
            if (const auto write = LogWriteOf(*fields))
                logWrites.append(*write);
            continue;
        }
        if (fields && lines[i].startsWith(kModeLine)) {
            if (const auto change = ModeSwitchOf(*fields))
                record.modeSwitches.append(*change);
            continue;
        }
        if (fields && lines[i].startsWith(kStoppedLine)) {
            if (const auto stop = RecordStopOf(*fields); stop && !record.stop)
                record.stop = stop;
            continue;
        }
        if (fields && ReadRestLine(*fields, record.rests, record.setAside))
            continue;
        if (fields && lines[i].startsWith(kEndLine) && !record.endLine) {
            record.endLine = true;
            record.ending = EndingOfStoredWord(fields->at(1));
            continue;
        }
        if (const auto sample = fields ? Sample(*fields, *columns, record.facts.fast) : std::nullopt) {
            const bool recharging = record.facts.onMains && !sample->dischargeOnMains
                                    && (!record.recharge.isEmpty() || sample->acLineStatus == power::kAcOnline);
            (recharging ? record.recharge : record.samples).append(*sample);
        } else if (fields && fields->size() == columns->count) {
            ++record.setAside;  // shaped like a sample, its values damaged
        }
    }
    SetAsideImpossible(record);
    KeepPossibleLogWrites(record, logWrites);
    JudgeStandby(record);
    return {.record = std::move(record)};
}

bool SampleNearEmpty(const RunSample& sample)
{
    if (sample.acLineStatus != power::kAcOffline)
        return false;
    if (sample.percent != power::kUnknownByte && sample.percent <= kNearEmptyPercent)
        return true;
    if (!sample.energyWh || !sample.powerW || *sample.powerW <= 0)
        return false;
    constexpr double kHours = (60.0 + kSampleLateSeconds) / 3600.0;
    return *sample.energyWh <= *sample.powerW * kHours;
}

}  // namespace report
