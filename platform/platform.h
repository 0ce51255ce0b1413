// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>

#include "platform/desktop_notices.h"
#include "platform/power_helper_client.h"
#include "platform/power_panel.h"
#include "storage/lock_lines.h"

namespace platform {

class BurnWorkers;

// Message box styles are the sum of a button set and an icon.
enum MsgBoxStyle : int {
    vbOKOnly = 0,
    vbYesNoCancel = 3,
    vbYesNo = 4,
    vbCritical = 16,
    vbExclamation = 48,
};
inline constexpr int kButtonSetMask = 7;
inline constexpr int kExtraButtonAnswer = 100;
inline constexpr int kIconMask = 0x70;

// The button a message box was closed with.
enum MsgBoxResult : int {
    vbOK = 1,
    vbCancel = 2,
    vbYes = 6,
    vbNo = 7,
};

inline const QString kAppTitle = QStringLiteral("Dorvik");
inline const QString kCrLf = QStringLiteral("\r\n");

// A CR LF text as Qt's widgets show it, with plain line feeds.
inline QString ForDisplay(QString text)
{
    return text.replace(kCrLf, QStringLiteral("\n"));
}

// Thrown by End (and by any pump or box that returns after End) to unwind
// the frames of every running handler. Caught only where a handler is
// entered, so no handler statement runs after End.
struct EndRequested {};

// An error that no handler traps: the application reports it and ends.
class UntrappedError : public std::runtime_error {
public:
    UntrappedError(QString what, QString reason)
        : std::runtime_error(what.toStdString()), what_(std::move(what)), reason_(std::move(reason)) {}
    const QString& What() const { return what_; }
    const QString& Reason() const { return reason_; }
    QString ReportText() const;

private:
    QString what_;
    QString reason_;
};

// The window's interval timer. It delivers at most one tick per pass of the
// event loop, however many intervals have passed.
class IntervalTimer {
public:
    virtual ~IntervalTimer() = default;
    virtual void SetInterval(int milliseconds) = 0;
};

// A box beside the window that holds nothing up: one line and one button.
// It closes when its handle goes.
class SideChoice {
public:
    virtual ~SideChoice() = default;
};

// Everything the window's handlers need from the system and the toolkit.
class Platform {
public:
    virtual ~Platform() = default;

    // Modal box; an empty title means the application title. Returns the
    // pressed button (vbOK, vbCancel, vbYes, vbNo).
    // extraButton, when given, adds a button of that caption; pressing it
    // answers kExtraButtonAnswer.
    int MsgBox(const QString& text, int style = vbOKOnly, const QString& title = {}, const QString& extraButton = {});
    // Processes every pending event, running their handlers, and returns.
    void DoEvents();
    // Blocks the one thread; no event is processed meanwhile.
    virtual void Sleep(int milliseconds) = 0;
    virtual std::unique_ptr<IntervalTimer> CreateTimer(int intervalMs, std::function<void()> onTick) = 0;
    // Starts a program without waiting for it and without a shell. A program
    // that cannot be started raises an UntrappedError.
    virtual void Launch(const QString& program, const QStringList& arguments) = 0;
    // The power options panel of this machine, if it has one.
    virtual std::optional<CommandLine> PowerOptionsPanel() = 0;
    // The threads that burn beside the window's in a fast discharge.
    virtual BurnWorkers& Workers() = 0;
    // The power helper, which may change the battery's charging for a run.
    virtual ChargeControl& Charging() = 0;
    // Shows a SideChoice; `pressed` runs from the event loop at each press
    // of its button. Closing it by its frame only hides it.
    virtual std::unique_ptr<SideChoice> OfferChoice(const QString& text, const QString& button,
                                                    std::function<void()> pressed) = 0;
    // Local date and time, to the second.
    virtual QDateTime Now() = 0;
    // Milliseconds the machine has spent in system sleep since it booted;
    // it grows only while the machine sleeps.
    virtual qint64 SleptMs() = 0;
    // Milliseconds of a clock that stops while the machine sleeps and that
    // no change of the wall clock moves: only its differences mean anything.
    virtual qint64 AwakeMs() = 0;

    // Keeps the machine from sleeping (idle, suspend, lid) until
    // ReleaseAwake, End or the death of the process. Never waits for the
    // services it asks: their answers arrive while events are processed.
    virtual void HoldAwake() = 0;
    virtual void ReleaseAwake() = 0;
    // What became of each lock HoldAwake asked for: taken, refused with
    // the reason, absent, still waiting for its answer, lost.
    virtual QList<storage::LockLine> AwakeLocks() = 0;
    // The same, one line each, as a run's record keeps them.
    QStringList AwakeReport() { return storage::LockLineTexts(AwakeLocks()); }
    // Whether every answer to HoldAwake is in (or given up on).
    virtual bool AwakeSettled() = 0;
    // Names this boot of the machine, kept in a run's record (see BootId in
    // platform/run_liveness.h).
    virtual QString BootId();

    // A desktop notification that replaces the last one; while a box waits
    // for the user it is shown again as urgent, with the body `current`
    // gives then when there is one.
    void Notify(const QString& title, const QString& body, std::function<QString()> current = {});
    // The battery percent on the taskbar entry, nothing to hide it. Sent
    // only when the whole percent changes.
    void ShowProgress(std::optional<int> percent);
    // A notice that outlives the run: no later ForgetNotices withdraws it,
    // and a click on it runs `clicked` instead of raising the window.
    void NotifyLasting(const QString& title, const QString& body, std::function<void()> clicked);
    // The notices are over: the last one is withdrawn, no box makes it
    // urgent again, and the taskbar entry shows no progress.
    void ForgetNotices();

    // Ends the application at once: no further handler code runs.
    [[noreturn]] void End();
    // Asks for the end without unwinding, from a close of the window: the
    // next pump of a running handler unwinds it.
    void RequestEnd();
    bool HasEnded() const { return ended_; }
    // The platform's own report of an untrapped error, then End.
    [[noreturn]] void ReportAndEnd(const UntrappedError& error);

protected:
    virtual int ShowMessageBox(const QString& text, int style, const QString& title, const QString& extraButton) = 0;
    virtual void PumpEvents() = 0;
    // Hides the windows and stops the event loop.
    virtual void OnEnd() = 0;
    virtual void SendNotice(const DesktopNotice&) {}
    virtual void SendProgress(const TaskbarProgress&) {}
    // Takes the last notice off the screen, without waiting.
    virtual void WithdrawNotice() {}
    // A click on the notice shown: false when it has no action of its own.
    bool NoticeClicked();

private:
    void ThrowIfEnded() const;
    void BoxWaiting(bool waiting);
    bool ended_ = false;
    int boxesOpen_ = 0;
    std::optional<DesktopNotice> notice_;
    std::function<QString()> noticeNow_;
    std::function<void()> noticeClicked_;
    TaskbarProgress progress_;
};

}  // namespace platform
