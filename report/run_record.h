#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

namespace report {

// What holds for a whole calibration run, known when its discharge starts.
struct RunFacts {
    QDateTime start;
    QString batteryModels;
    std::optional<double> designWh;
    std::optional<double> fullWh;
    std::optional<int> cycleCount;
    bool fast = true;
    QStringList keptAwake;  // one line per thing kept awake
};

// One look at the battery during the discharge. Percent and AC state use the
// power status record's values, 255 standing for unknown.
struct RunSample {
    QDateTime time;  // local, with its offset from UTC
    qint64 awakeSeconds = 0;  // since the discharge started
    int acLineStatus = 255;
    int percent = 255;
    QString batteryStatus;
    bool fast = true;
    std::optional<double> energyWh;
    std::optional<double> fullWh;
    std::optional<double> designWh;
    std::optional<double> powerW;
    std::optional<double> voltageV;
};

// Runs kept in a record folder; creating one deletes the oldest beyond these.
inline constexpr int kKeptRuns = 20;

// Writes one run's record: the facts when created, then one line per sample,
// each on the disk before the call returns. Never throws.
class RunRecordWriter {
public:
    // Creates the folder if need be and a new record in it named by the
    // start time; nothing, with the reason in `error`, when that fails.
    static std::unique_ptr<RunRecordWriter> Create(const QString& directory, const RunFacts& facts,
                                                   QString* error = nullptr);
    // False, with the reason in `error`, when the sample could not be written.
    bool Append(const RunSample& sample, QString* error = nullptr);
    QString Path() const { return path_; }

private:
    explicit RunRecordWriter(QString path) : path_(std::move(path)) {}
    QString path_;
};

struct RunRecord {
    QString path;
    RunFacts facts;
    QList<RunSample> samples;
};

struct RunRecords {
    QList<RunRecord> runs;  // oldest first
    int unreadable = 0;     // record files that are not records or are damaged
};

// Bounds on what the reader takes in: larger files are unreadable, longer
// lines are skipped.
inline constexpr qint64 kRecordSizeLimit = 4 * 1024 * 1024;
inline constexpr qsizetype kRecordLineLimit = 4 * 1024;

// Every record in the folder. A torn last line (no line end) is left out.
RunRecords ReadRunRecords(const QString& directory);

// Whether the folder holds at least one file that starts like a record.
bool HasRunRecord(const QString& directory);

// The lines a record file holds, and its reading (exposed for the fuzzer).
QByteArray RecordText(const RunFacts& facts);
QByteArray SampleLine(const RunSample& sample);
std::optional<RunRecord> ParseRunRecord(const QByteArray& bytes);

}  // namespace report
