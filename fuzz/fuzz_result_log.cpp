// Fuzzes View Result's reading: the input is the whole result log. The
// answer must be the report of the log's first three lines when they lie
// within the read bound and the second and third are dates, and otherwise
// the failure; a report is always seven lines and shows dates that read back.
#include <fcntl.h>
#include <unistd.h>

#include <QByteArrayList>
#include <QLocale>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "calibration/result_log.h"
#include "platform/date_text.h"
#include "platform/text_file.h"
#include "scratch_directory.h"

namespace {

const QString& LogPath()
{
    static const QString path = QString::fromStdString((fuzz::ScratchDirectory() / "Dorvik.log").string());
    return path;
}

void WriteLog(const std::uint8_t* data, std::size_t size)
{
    const int fd = ::open(LogPath().toLocal8Bit().constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0 || ::write(fd, data, size) != static_cast<ssize_t>(size))
        std::abort();
    ::close(fd);
}

// The complete lines within the read bound, without their line ends. A
// last line without a line end counts only when the file ends in the bound.
QByteArrayList LinesInBound(const QByteArray& log)
{
    QByteArrayList pieces = log.left(platform::kLineReadLimit).split('\n');
    const bool endsInBound = log.size() <= platform::kLineReadLimit;
    if (!endsInBound || pieces.last().isEmpty())
        pieces.removeLast();
    for (QByteArray& piece : pieces) {
        if (piece.endsWith('\r'))
            piece.chop(1);
    }
    return pieces;
}

std::optional<QString> ExpectedReport(const QByteArray& log)
{
    const QByteArrayList lines = LinesInBound(log);
    if (lines.size() < 3)
        return std::nullopt;
    const auto started = platform::ParseDateText(QString::fromLocal8Bit(lines[1]));
    const auto finished = platform::ParseDateText(QString::fromLocal8Bit(lines[2]));
    if (!started || !finished)
        return std::nullopt;
    return calibration::ViewResultReport(QString::fromLocal8Bit(lines[0]), *started, *finished);
}

[[noreturn]] void Broken(const char* what, const std::optional<QString>& answer)
{
    std::fprintf(stderr, "%s\nAnswer: %s\n", what,
                 answer ? qPrintable(*answer) : qPrintable(calibration::kResultLogNotAccessible));
    std::abort();
}

bool DatesReadBack(const QString& report)
{
    for (const QString& line : report.split(QStringLiteral("\r\n"))) {
        for (const QString& key : {QStringLiteral("Started="), QStringLiteral("Finished=")}) {
            if (!line.startsWith(key))
                continue;
            const auto moment = platform::ParseDateText(line.mid(key.size()));
            if (!moment || platform::DateText(*moment) != line.mid(key.size()))
                return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // The 12-hour clock with AM and PM is the richest date form to parse.
    QLocale::setDefault(QLocale(QStringLiteral("en_US")));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    WriteLog(data, size);
    const std::optional<QString> answer = calibration::ReadViewResultReport(LogPath());
    const QByteArray log(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    if (answer != ExpectedReport(log))
        Broken(answer ? "A report where the failure was due, or the wrong report"
                      : "The failure where a report was due",
               answer);
    if (answer && answer->count(QStringLiteral("\r\n")) != 6)
        Broken("A report of other than seven lines", answer);
    if (answer && !DatesReadBack(*answer))
        Broken("A shown date that does not read back as itself", answer);
    return 0;
}
