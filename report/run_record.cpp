// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/run_record.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

#include "report/unlocked_record.h"
#include "storage/durable_file.h"
#include "storage/text_file.h"

namespace report {
namespace {

const QString kNameFilter = QStringLiteral("run-*.csv");

// Named by the start in UTC, so that names sort by time across clock changes.
QString FreeRecordPath(const QDir& directory, const QDateTime& start)
{
    const QString stem = QStringLiteral("run-") + start.toUTC().toString(QStringLiteral("yyyyMMdd-HHmmss")) + 'Z';
    QString name = stem + QStringLiteral(".csv");
    for (int n = 2; QFileInfo::exists(directory.filePath(name)); ++n)
        name = stem + QLatin1Char('-') + QString::number(n) + QStringLiteral(".csv");
    return directory.filePath(name);
}

QStringList RecordFiles(const QString& directory)
{
    return QDir(directory).entryList({kNameFilter}, QDir::Files, QDir::Name);
}

void DeleteOldest(const QString& directory, const QString& kept)
{
    const QDir dir(directory);
    QStringList names = RecordFiles(directory);
    names.removeAll(QFileInfo(kept).fileName());
    for (qsizetype i = 0; i < names.size() - (kKeptRuns - 1); ++i)
        QFile::remove(dir.filePath(names[i]));
}

std::optional<QByteArray> ReadBounded(const QString& path)
{
    if (storage::LookUpOrdinaryFile(path) != storage::FileLookup::Found)
        return std::nullopt;
    QFile file(path);
    if (file.size() > kRecordSizeLimit || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.read(kRecordSizeLimit + 1);
    if (file.error() != QFileDevice::NoError || bytes.size() > kRecordSizeLimit)
        return std::nullopt;
    return bytes;
}

}  // namespace

std::unique_ptr<RunRecordWriter> RunRecordWriter::Create(const QString& directory, const RunFacts& facts,
                                                         QString* error, HoldTaker takeHold)
{
    if (!facts.start.isValid()) {
        if (error)
            *error = QStringLiteral("A run record needs the run's start time.");
        return nullptr;
    }
    if (!storage::CreateDirectoryDurably(directory, error))
        return nullptr;
    const QString path = FreeRecordPath(QDir(directory), facts.start);
    RunFacts written = facts;
    written.writerPid = QCoreApplication::applicationPid();
    if (!storage::CreateFileDurably(path, RecordText(written), error))
        return nullptr;
    // The hold needs the file; when refused, the record is rewritten before
    // any sample to tell readers to judge it by its freshness instead.
    std::unique_ptr<storage::FileHold> hold = takeHold(path);
    written.unlocked = !hold || !hold->Held();
    if (written.unlocked && !storage::ReplaceFileDurably(path, RecordText(written), error)) {
        QFile::remove(path);
        return nullptr;
    }
    DeleteOldest(directory, path);
    return std::unique_ptr<RunRecordWriter>(new RunRecordWriter(path, facts.keptAwake, std::move(hold)));
}

std::unique_ptr<storage::FileHold> RunRecordWriter::TakeHold(const QString& path)
{
    return std::make_unique<storage::FileHold>(path);
}

bool RunRecordWriter::Append(const RunSample& sample, QString* error)
{
    return storage::AppendDurably(path_, SampleLine(sample), error);
}

bool RunRecordWriter::Logged(const LogWrite& write, QString* error)
{
    return storage::AppendDurably(path_, LogWriteLine(write), error);
}

bool RunRecordWriter::SwitchedMode(const QDateTime& time, const ModeSwitch& change, QString* error)
{
    return storage::AppendDurably(path_, ModeSwitchLine(time, change), error);
}

bool RunRecordWriter::Rested(const RestSpan& rest, QString* error)
{
    return storage::AppendDurably(path_, RestSpanLine(rest), error);
}

bool RunRecordWriter::MissedRest(const NoRest& missed, QString* error)
{
    return storage::AppendDurably(path_, NoRestLine(missed), error);
}

bool RunRecordWriter::RestReadings(const QList<RestVoltage>& readings, QString* error)
{
    QByteArray lines;
    for (const RestVoltage& reading : readings)
        lines += RestVoltageLine(reading);
    return lines.isEmpty() || storage::AppendDurably(path_, lines, error);
}

bool RunRecordWriter::Stopped(const QDateTime& time, const RecordStop& stop, QString* error)
{
    return storage::AppendDurably(path_, RecordStopLine(time, stop), error);
}

bool RunRecordWriter::End(RunEnding ending, const QDateTime& time, QString* error)
{
    const QByteArray line = EndLine(ending, time);
    if (line.isEmpty()) {
        if (error)
            *error = QStringLiteral("Only an orderly ending is written.");
        return false;
    }
    return storage::AppendDurably(path_, line, error);
}

bool RunRecordWriter::UpdateKeptAwake(const QStringList& lines, QString* error)
{
    QByteArray changed;
    for (const QString& line : lines) {
        if (!keptAwake_.contains(line))
            changed += KeptAwakeRecordLine(line);
    }
    if (changed.isEmpty())
        return true;
    if (!storage::AppendDurably(path_, changed, error))
        return false;
    keptAwake_ = lines;
    return true;
}

RunRecords ReadRunRecords(const QString& directory)
{
    RunRecords records;
    const QDir dir(directory);
    for (const QString& name : RecordFiles(directory)) {
        const QString path = dir.filePath(name);
        const auto bytes = ReadBounded(path);
        ParsedRunRecord parsed = bytes ? ParseRunRecord(*bytes) : ParsedRunRecord();
        if (!parsed.record) {
            ++(parsed.newer ? records.newer : records.unreadable);
            continue;
        }
        parsed.record->path = path;
        if (!parsed.record->endLine)
            parsed.record->ending = UnendedRunEnding(path, *parsed.record);
        records.runs.append(std::move(*parsed.record));
    }
    std::stable_sort(records.runs.begin(), records.runs.end(),
                     [](const RunRecord& a, const RunRecord& b) { return a.facts.start < b.facts.start; });
    return records;
}

bool HasRunRecord(const QString& directory)
{
    const QDir dir(directory);
    const QStringList names = RecordFiles(directory);
    // Newest first: the latest run's record is the one most likely there.
    for (auto name = names.rbegin(); name != names.rend(); ++name) {
        const auto bytes = ReadBounded(dir.filePath(*name));
        if (bytes && ParseRunRecord(*bytes).record)
            return true;
    }
    return false;
}

std::optional<RunRecord> NewestRunRecord(const QString& directory, const std::function<bool(const RunRecord&)>& keep)
{
    const QDir dir(directory);
    const QStringList names = RecordFiles(directory);
    for (auto name = names.rbegin(); name != names.rend(); ++name) {
        const QString path = dir.filePath(*name);
        const auto bytes = ReadBounded(path);
        std::optional<RunRecord> run = bytes ? ParseRunRecord(*bytes).record : std::nullopt;
        if (!run)
            continue;
        run->path = path;
        if (!run->endLine)
            run->ending = UnendedRunEnding(path, *run);
        if (keep(*run))
            return run;
    }
    return std::nullopt;
}

RunEnding UnendedRunEnding(const QString& path, const RunRecord& run)
{
    if (storage::IsHeld(path))
        return RunEnding::Running;
    const QString now = storage::IsSimulatedBootId(run.facts.bootId)
                            ? storage::SimulatedBootId(QFileInfo(path).absolutePath())
                            : storage::BootId();
    if (run.facts.bootId.isEmpty() || now.isEmpty())
        return RunEnding::NotRecorded;
    if (UnlockedRunIsLive(path, run.facts) && storage::SameBoot(run.facts.bootId, now))
        return RunEnding::Running;
    if (run.stop)
        return RunEnding::RecordStopped;  // its last sample is older than the end
    if (!storage::SameBoot(run.facts.bootId, now))
        return !run.facts.onMains && !run.samples.isEmpty() && SampleNearEmpty(run.samples.last())
                   ? RunEnding::SwitchedOff
                   : RunEnding::Restarted;
    return RunEnding::Killed;
}

}  // namespace report
