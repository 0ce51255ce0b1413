// Fuzzes the reading of run records: the input is one record file. Reading
// must never crash; a record's values keep to their ranges, its samples come
// only from complete lines, and what is read, written out again, reads back
// as the same bytes.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cmath>
#include <cstdlib>

#include "report/report_math.h"
#include "report/run_record.h"
#include "scratch_directory.h"

namespace {

const QString& Directory()
{
    static const QString directory = QString::fromStdString(fuzz::ScratchDirectory().string());
    return directory;
}

void WriteRecord(const std::uint8_t* data, std::size_t size)
{
    const std::string path = fuzz::ScratchDirectory() / "run-20260101-000000Z.csv";
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0 || ::write(fd, data, size) != static_cast<ssize_t>(size))
        std::abort();
    ::close(fd);
}

[[noreturn]] void Broken(const char* what)
{
    std::fprintf(stderr, "Invariant broken: %s\n", what);
    std::abort();
}

QByteArray Written(const report::RunRecord& record)
{
    QByteArray bytes = report::RecordText(record.facts);
    for (const report::RunSample& sample : record.samples)
        bytes += report::SampleLine(sample);
    return bytes;
}

void CheckRecord(const report::RunRecord& record, const QByteArray& input)
{
    // The marker, at least one fact and the header come before any sample.
    if (record.samples.size() > input.count('\n') - 3)
        Broken("more samples than complete lines");
    for (const report::RunSample& sample : record.samples) {
        if (sample.percent < 0 || (sample.percent > 100 && sample.percent != 255))
            Broken("a percent out of range");
        if (sample.acLineStatus != 0 && sample.acLineStatus != 1 && sample.acLineStatus != 255)
            Broken("an AC state out of range");
        if (sample.awakeSeconds < 0 || !sample.time.isValid())
            Broken("a negative awake time or an invalid time");
    }
    const auto summary = report::Summarise(record);
    if (summary.minutes < 0 || (summary.healthPercent && !std::isfinite(*summary.healthPercent)))
        Broken("a summary out of range");
    if (const auto energy = report::EnergyDeliveredWh(record.samples); energy && !std::isfinite(*energy))
        Broken("an energy that is no number");
    if (report::Resampled(report::PercentCurve(record.samples), 10).size() > 10)
        Broken("resampling beyond its bound");

    const QByteArray once = Written(record);
    const auto reread = report::ParseRunRecord(once);
    if (!reread)
        Broken("a record written from a read record does not read");
    if (reread->samples.size() != record.samples.size() || Written(*reread) != once)
        Broken("a record written from a read record reads back otherwise");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    WriteRecord(data, size);
    const report::RunRecords records = report::ReadRunRecords(Directory());
    if (records.runs.size() + records.unreadable != 1)
        Broken("one file is not one record or one unreadable");
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    if (records.runs.size() != qsizetype(report::ParseRunRecord(input).has_value()))
        Broken("reading the file and reading its bytes disagree");
    if (!records.runs.isEmpty())
        CheckRecord(records.runs.first(), input);
    if (!records.runs.isEmpty() && !report::HasRunRecord(Directory()))
        Broken("the quick look misses a record");
    return 0;
}
