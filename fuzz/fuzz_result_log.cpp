// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzzes View Result's reading with the whole result log as input: the
// answer is the report of the first three lines when they lie within the
// read bound and the second and third are dates, and otherwise the failure.
#include <QFile>
#include <QLocale>
#include <cstdint>
#include <cstdlib>

#include "calibration/result_log.h"
#include "scratch_directory.h"
#include "storage/date_text.h"
#include "storage/text_file.h"

namespace {

// The report the log's lines call for, worked out independently of the reader.
std::optional<QString> ExpectedReport(const QByteArray& log)
{
    QByteArrayList lines = log.left(storage::kLineReadLimit).split('\n');
    if (log.size() > storage::kLineReadLimit || lines.last().isEmpty())
        lines.removeLast();  // only a last line that ends in the bound counts
    if (lines.size() < 3)
        return std::nullopt;
    const auto text = [&](int i) { return QString::fromLocal8Bit(lines[i].endsWith('\r') ? lines[i].chopped(1) : lines[i]); };
    const auto started = storage::ParseDateText(text(1));
    const auto finished = storage::ParseDateText(text(2));
    if (!started || !finished)
        return std::nullopt;
    return calibration::ViewResultReport(text(0), *started, *finished);
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
    static const QString path = QString::fromStdString((fuzz::ScratchDirectory() / "Dorvik.log").string());
    const QByteArray log(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(log) != log.size())
        std::abort();
    file.close();
    if (calibration::ReadViewResultReport(path) != ExpectedReport(log))
        std::abort();
    return 0;
}
