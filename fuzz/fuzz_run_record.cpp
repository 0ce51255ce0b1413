// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzzes reading one run record file: reading never crashes, values keep to
// their ranges, samples come only from complete lines, and a record written
// out again (in this version's column order) reads back as the same bytes.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "report/report_math.h"
#include "report/run_record.h"
#include "report/run_record_format.h"
#include "report/verdict.h"
#include "scratch_directory.h"

namespace {

using fuzz::Check;

QByteArray Written(const report::RunRecord& record)
{
    QByteArray bytes = report::RecordText(record.facts);
    for (const report::RunSample& sample : record.samples)
        bytes += report::SampleLine(sample);
    return bytes + report::EndLine(record.ending, record.facts.start);
}

void CheckRecord(const report::RunRecord& record, const QByteArray& input)
{
    // The marker, at least one fact and the header come before any sample.
    Check(record.samples.size() <= input.count('\n') - 3, "no more samples than complete lines");
    for (const report::RunSample& s : record.samples)
        Check(s.percent >= 0 && (s.percent <= 100 || s.percent == 255) && s.awakeSeconds >= 0 && s.time.isValid()
                  && (s.acLineStatus == 0 || s.acLineStatus == 1 || s.acLineStatus == 255),
              "sample values within their ranges");
    const auto summary = report::Summarise(record);
    const auto energy = report::EnergyDeliveredWh(record.samples);
    Check(summary.minutes >= 0 && (!summary.healthPercent || std::isfinite(*summary.healthPercent))
              && (!energy || std::isfinite(*energy))
              && report::Resampled(report::PercentCurve(record.samples), 10).size() <= 10,
          "figures are finite and resampling keeps its bound");
    const bool orderly = !report::EndLine(record.ending, record.facts.start).isEmpty();
    Check(record.endLine ? orderly || record.ending == report::RunEnding::NotRecorded
                         : record.ending != report::RunEnding::Running && !orderly,
          "an end line gives an orderly ending or none; a lone file is not held, nor ended in order");
    // Judged as a run that ran out, whatever it holds: the truth stays within the gauge's range.
    report::RunRecord judged = record;
    judged.ending = report::RunEnding::SwitchedOff;
    for (const QPointF& point : report::TrueCurve(judged))
        Check(std::isfinite(point.y()) && point.y() >= 0 && point.y() <= 100, "the true curve is a percent");
    Check(!report::Judge(judged, 50.0).sentence.isEmpty() && report::EstimateChecks(judged).size() <= 3,
          "every run gets a verdict sentence");
    const auto reread = report::ParseRunRecord(Written(record)).record;
    Check(reread && Written(*reread) == Written(record), "a record written from a read record reads back the same");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::WriteScratchFile("run-20260101-000000Z.csv", data, size);
    static const QString directory = QString::fromStdString(fuzz::ScratchDirectory().string());
    const report::RunRecords records = report::ReadRunRecords(directory);
    Check(records.runs.size() + records.unreadable + records.newer == 1, "one file is a record, unreadable or newer");
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const auto parsed = report::ParseRunRecord(input);
    Check(records.runs.size() == parsed.record.has_value() && records.newer == parsed.newer, "file and bytes agree");
    if (!records.runs.isEmpty()) {
        CheckRecord(records.runs.first(), input);
        Check(report::HasRunRecord(directory), "the quick look finds the record");
    }
    return 0;
}
