// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzzes opening the run report on one record file, offscreen: the window is
// built, laid out and painted (libFuzzer's -timeout holds each input to a
// second), and resizing it back and forth leaves its charts' plots where they
// were.
#include <QApplication>
#include <QChart>
#include <QChartView>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "report/report_window.h"
#include "report/run_record.h"
#include "scratch_directory.h"

namespace {

using fuzz::Check;

QRectF GaugePlot(QWidget* window)
{
    for (QChartView* view : window->findChildren<QChartView*>()) {
        if (view->chart()->objectName() == QLatin1String("gaugeChart"))
            return view->chart()->plotArea();
    }
    return {};
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});  // the platform's chatter
    new QApplication(*argc, *argv);  // for the whole run: libFuzzer ends with _Exit
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::WriteScratchFile("run-20260101-000000Z.csv", data, size);
    static const QString directory = QString::fromStdString(fuzz::ScratchDirectory().string());
    const std::unique_ptr<QWidget> window(report::BuildRunReport(report::ReadRunRecords(directory), {}));
    if (!window)
        return 0;
    window->setAttribute(Qt::WA_DontShowOnScreen);
    window->show();
    const QSize opening(1180, 660);  // on a screen that has room for it
    window->resize(opening);
    QApplication::processEvents();
    window->grab();
    const QRectF plot = GaugePlot(window.get());
    for (const QSize other : {window->minimumSize(), opening, window->minimumSize(), opening}) {
        window->resize(other);
        QApplication::processEvents();
    }
    const QRectF after = GaugePlot(window.get());
    Check(std::abs(after.left() - plot.left()) <= 2 && std::abs(after.width() - plot.width()) <= 2,
          "the gauge's plot is where it was after resizing");
    return 0;
}
