// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/command_line.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <QTextStream>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/remind.h"
#include "power/power_summary.h"
#include "power/system_power_source.h"
#include "report/report_facts.h"
#include "report/report_math.h"
#include "report/run_record.h"
#include "report/verdict.h"
#include "storage/paths.h"

// Set by the build; a compile outside it (the Windows syntax check) has none.
#ifndef DORVIK_VERSION
#define DORVIK_VERSION "unknown"
#endif

namespace app {
namespace {

// Qt's own window options, which the window understands, with one dash or
// two as Qt takes them; those in kQtValueOptions take the next argument as
// their value, and the style ones also come as "-style=<name>".
const QStringList kQtValueOptions = {
    QStringLiteral("-platform"), QStringLiteral("-platformpluginpath"), QStringLiteral("-platformtheme"),
    QStringLiteral("-plugin"), QStringLiteral("-qwindowgeometry"), QStringLiteral("-geometry"),
    QStringLiteral("-qwindowicon"), QStringLiteral("-icon"), QStringLiteral("-qwindowtitle"),
    QStringLiteral("-title"), QStringLiteral("-display"), QStringLiteral("-name"), QStringLiteral("-visual"),
    QStringLiteral("-style"), QStringLiteral("-stylesheet"), QStringLiteral("-session"),
    QStringLiteral("-qmljsdebugger")};
const QStringList kQtFlags = {QStringLiteral("-reverse"), QStringLiteral("-widgetcount"), QStringLiteral("-nograb"),
                              QStringLiteral("-dograb"), QStringLiteral("-sync"), QStringLiteral("-cmap"),
                              QStringLiteral("-testability")};
const QStringList kQtJoinedOptions = {QStringLiteral("-style="), QStringLiteral("-stylesheet="),
                                      QStringLiteral("-qmljsdebugger=")};

// --help-all's part: the window options Qt reads before the window opens.
const QString kQtOptionsHelp = QStringLiteral(
    "\nQt's window options (one dash or two):\n"
    "  -platform <name>          The windowing system: xcb, wayland, offscreen...\n"
    "  -platformtheme <name>     The platform theme, for dialogs and icons.\n"
    "  -style <name>             The widget style: Fusion, Windows...\n"
    "  -stylesheet <file>        A style sheet applied to the window.\n"
    "  -display <name>           The X display to use.\n"
    "  -qwindowgeometry <geom>   The window's size and place, as 800x600+10+10.\n"
    "  -qwindowtitle <title>     The window's title.\n"
    "  -qwindowicon <file>       The window's icon.\n"
    "  -reverse                  Lays the window out right to left.\n");

// Whether a Qt option (its dashes made one) stands alone, without a value after it.
bool IsQtFlag(const QString& option)
{
    return kQtFlags.contains(option) || std::any_of(kQtJoinedOptions.begin(), kQtJoinedOptions.end(), [&](const QString& joined) {
               return option.startsWith(joined);
           });
}

// Whether output to stdout reached it; says why not on stderr.
bool StdoutWritten()
{
    if (std::fflush(stdout) == 0 && !std::ferror(stdout))
        return true;
    const int number = errno;
    std::fprintf(stderr, "dorvik: cannot write the output: %s\n", std::strerror(number));
    return false;
}

void Print(FILE* stream, const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
}

int Status()
{
    const auto source = power::CreateSystemPowerSource();
    SYSTEM_POWER_STATUS status{};
    if (source->Query(status) == 0) {
        Print(stderr, QStringLiteral("Battery information couldn't be obtained!\n"));
        return 1;
    }
    const QStringList lines = power::StatusBoxLines(power::SummaryOf(status));
    for (const QString& line : lines)
        Print(stdout, line + QLatin1Char('\n'));
    return 0;
}

QJsonValue Rounded(std::optional<double> value, int decimals)
{
    if (!value)
        return QJsonValue::Null;
    const double scale = std::pow(10.0, decimals);
    return std::round(*value * scale) / scale;
}

QJsonValue Whole(std::optional<int> value)
{
    return value ? QJsonValue(*value) : QJsonValue();
}

// The run's figures, keyed as the JSON output names them.
QJsonObject Json(const report::RunFigures& figures)
{
    return {
        {QStringLiteral("start"), figures.start.toString(Qt::ISODate)},
        {QStringLiteral("ending"), report::EndingJsonName(figures.ending)},
        {QStringLiteral("finished"), figures.finished.isValid() ? QJsonValue(figures.finished.toString(Qt::ISODate))
                                                                 : QJsonValue()},
        {QStringLiteral("awake_minutes"), figures.awakeMinutes},
        {QStringLiteral("last_percent"), Whole(figures.lastPercent)},
        {QStringLiteral("gauge_at_end_percent"), Whole(figures.gaugeAtEndPercent)},
        {QStringLiteral("largest_error_points"), Whole(figures.largestErrorPoints)},
        {QStringLiteral("energy_delivered_wh"), Rounded(figures.energyDeliveredWh, 2)},
        {QStringLiteral("full_wh_start"), Rounded(figures.fullWhStart, 2)},
        {QStringLiteral("full_wh_now"), Rounded(figures.fullWhNow, 2)},
        {QStringLiteral("design_wh"), Rounded(figures.designWh, 2)},
        {QStringLiteral("health_percent"), Rounded(figures.healthPercent, 1)},
        {QStringLiteral("next_calibration"), figures.nextCalibration ? QJsonValue(figures.nextCalibration->toString(Qt::ISODate))
                                                                       : QJsonValue()},
    };
}

QJsonValue Flag(std::optional<bool> value)
{
    return value ? QJsonValue(*value) : QJsonValue();
}

QJsonValue Minutes(std::optional<qint64> value)
{
    return value ? QJsonValue(*value) : QJsonValue();
}

// Whether the gauge could relearn, and the earlier calibration compared.
QJsonObject Json(const report::ReportFacts& facts)
{
    const report::LearningConditions& found = facts.learning;
    QJsonObject object = Json(facts.figures);
    const auto from = found.temperatureFrom;
    object.insert(QStringLiteral("learning"), QJsonObject{
        {QStringLiteral("rest_at_full_minutes"), Minutes(found.fullRestMinutes)},
        {QStringLiteral("rest_at_full_settled"), Flag(found.fullRestSettled)},
        {QStringLiteral("rest_at_empty_minutes"), Minutes(found.emptyRestMinutes)},
        {QStringLiteral("rest_at_empty_settled"), Flag(found.emptyRestSettled)},
        {QStringLiteral("charge_passed_percent"), Rounded(found.passedPercent, 1)},
        {QStringLiteral("coolest_celsius"), Rounded(found.coolestCelsius, 1)},
        {QStringLiteral("hottest_celsius"), Rounded(found.hottestCelsius, 1)},
        {QStringLiteral("temperature_from"), !from ? QJsonValue()
                                             : QJsonValue(*from == report::LearningTemperature::Battery
                                                              ? QStringLiteral("battery") : QStringLiteral("zone"))},
        {QStringLiteral("unbroken"), Flag(found.unbroken)},
        {QStringLiteral("enough"), Flag(found.enough)},
        {QStringLiteral("conclusion"), found.conclusion},
    });
    if (const auto& since = facts.since)
        object.insert(QStringLiteral("since"), QJsonObject{
            {QStringLiteral("earlier"), since->earlier.toString(Qt::ISODate)},
            {QStringLiteral("largest_error_points_then"), Whole(since->errorThen)},
            {QStringLiteral("largest_error_points_now"), Whole(since->errorNow)},
            {QStringLiteral("full_wh_then"), Rounded(since->fullWhThen, 2)},
            {QStringLiteral("full_wh_now"), Rounded(since->fullWhNow, 2)},
        });
    return object;
}

int Report(bool json, const CommandLineSubject& subject)
{
    const QString directory = subject.runDirectory.isEmpty() ? storage::RunRecordDirectory() : subject.runDirectory;
    const report::RunRecords records = report::ReadRunRecords(directory);
    if (records.runs.isEmpty()) {
        Print(stderr, QStringLiteral("No readable run record in %1.\n").arg(directory));
        return 1;
    }
    const report::ReportFacts facts =
        report::BuildReportFacts(records.runs, records.runs.size() - 1,
                                 subject.systemBattery ? power::CreateSystemPowerSource()->Details()
                                                       : power::BatteryDetails{},
                                 QDateTime::currentDateTime());
    Print(stdout, json ? QString::fromUtf8(QJsonDocument(Json(facts)).toJson(QJsonDocument::Compact))
                       : report::FactsLines(facts).join(QLatin1Char('\n')));
    Print(stdout, QStringLiteral("\n"));
    return 0;
}

// The command line on a QCoreApplication that calls the program by its name
// in its usage, whatever path started it.
std::optional<int> Run(int argc, char* argv[], const CommandLineSubject& subject)
{
    std::vector<char*> arguments(argv, argv + argc);
    std::string name = subject.program;
    arguments[0] = name.data();
    QCoreApplication application(argc, arguments.data());
    QCoreApplication::setApplicationName(QString::fromLatin1(subject.program));
    QCoreApplication::setApplicationVersion(QStringLiteral(DORVIK_VERSION));

    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);  // -status, as Qt's -style
    parser.setApplicationDescription(subject.description.isEmpty()
                                         ? QStringLiteral("Recalibrates a laptop battery's charge gauge. "
                                                          "Without options, the window starts.")
                                         : subject.description);
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption status(QStringLiteral("status"), QStringLiteral("Print the battery status and exit."));
    const QCommandLineOption report(QStringLiteral("report"),
                                    QStringLiteral("Print the figures of the newest recorded run and exit."));
    const QCommandLineOption json(QStringLiteral("json"), QStringLiteral("With --report: print them as one JSON object."));
    const QCommandLineOption remind(QStringLiteral("remind"),
                                    QStringLiteral("Send a notice when a battery calibration is due, then exit."));
    if (subject.systemBattery)
        parser.addOption(status);
    parser.addOptions({report, json});
    if (subject.systemBattery)
        parser.addOption(remind);

    if (!parser.parse(WithoutQtOptions(QCoreApplication::arguments()))) {
        Print(stderr, parser.errorText() + QStringLiteral("\n\n") + parser.helpText());
        return 2;
    }
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all"))) {
        Print(stdout, parser.helpText() + (parser.isSet(QStringLiteral("help-all")) ? kQtOptionsHelp : QString()));
        return 0;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        Print(stdout, QStringLiteral("%1 %2\n").arg(QCoreApplication::applicationName(),
                                                     QCoreApplication::applicationVersion()));
        return 0;
    }
    const auto misuse = [&](const QString& why) {
        Print(stderr, why + QStringLiteral("\n\n") + parser.helpText());
        return 2;
    };
    if (!parser.positionalArguments().isEmpty())
        return misuse(QStringLiteral("Unexpected argument: ") + parser.positionalArguments().constFirst());
    const bool statusSet = subject.systemBattery && parser.isSet(status);
    if (statusSet && parser.isSet(report))
        return misuse(QStringLiteral("--status and --report cannot be combined."));
    if (parser.isSet(json) && !parser.isSet(report))
        return misuse(QStringLiteral("--json goes with --report."));
    if (statusSet)
        return Status();
    if (parser.isSet(report))
        return Report(parser.isSet(json), subject);
    if (subject.systemBattery && parser.isSet(remind))
        return Remind();
    return std::nullopt;
}

}  // namespace

QStringList WithoutQtOptions(const QStringList& arguments)
{
    QStringList kept;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        const QString option = argument.startsWith(QLatin1String("--")) ? argument.mid(1) : argument;
        if (i > 0 && kQtValueOptions.contains(option))
            ++i;
        else if (i == 0 || !IsQtFlag(option))
            kept << argument;
    }
    return kept;
}

CommandLineSubject DemoCommandLine()
{
    return {.program = "dorvik-demo",
            .description = QStringLiteral("Dorvik's window on a simulated battery. "
                                          "Without options, the demo starts."),
            .runDirectory = storage::DemoRunRecordDirectory(),
            .systemBattery = false};
}

std::optional<int> RunCommandLine(int argc, char* argv[], const CommandLineSubject& subject)
{
    if (argc <= 1)
        return std::nullopt;
    const auto code = Run(argc, argv, subject);
    if (code && !StdoutWritten())
        return 1;
    return code;
}

}  // namespace app
