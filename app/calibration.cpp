// SPDX-License-Identifier: GPL-3.0-or-later
// Begin Calibration, View Result and the result log.
#include <QPushButton>

#include "app/frmMain.h"
#include "calibration/result_log.h"
#include "report/report_window.h"
#include "report/run_record.h"

void frmMain::Command1_Click()
{
    calibration::CalibrationRun(*this, platform_, power_, resultLogPath_, runRecordDirectory_).Run();
}

void frmMain::Command2_Click()
{
    const auto result = calibration::ReadViewResultReport(ResultLogPath(), runRecordDirectory_);
    if (!result) {
        platform_.MsgBox(calibration::ResultLogNotAccessible(ResultLogPath()), platform::vbOKOnly);
        return;
    }
    // The box stays as it ever was unless there is a run record to show.
    const bool recorded = !runRecordDirectory_.isEmpty() && report::HasRunRecord(runRecordDirectory_);
    const QString showReport = recorded ? QStringLiteral("Show &Report\u2026") : QString();
    if (platform_.MsgBox(*result, platform::vbOKOnly, {}, showReport) == platform::kExtraButtonAnswer)
        report::ShowRunReport(runRecordDirectory_, power_.Details(), this,
                              storage::ReadLoggedRun(ResultLogPath()).value_or(storage::LoggedRun{}));
}

void frmMain::SetBeginEnabled(bool enabled)
{
    Command1->setEnabled(enabled);
}
