// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>

#include "platform/burn_workers.h"
#include "platform/keep_awake.h"
#include "platform/platform.h"

class QMessageBox;
class QRect;
class QSize;

namespace platform {

// The platform on Qt: real boxes, the real event loop, the real clock.
class QtPlatform : public Platform {
public:
    // quit stops the application's event loop; tests pass their own so that
    // they never reach QCoreApplication::exit().
    explicit QtPlatform(std::function<void()> quit = {});

    void Sleep(int milliseconds) override;
    std::unique_ptr<IntervalTimer> CreateTimer(int intervalMs, std::function<void()> onTick) override;
    void Launch(const QString& program, const QStringList& arguments) override;
    std::optional<CommandLine> PowerOptionsPanel() override;
    BurnWorkers& Workers() override { return workers_; }
    ChargeControl& Charging() override;
    std::unique_ptr<SideChoice> OfferChoice(const QString& text, const QString& button,
                                            std::function<void()> pressed) override;
    QDateTime Now() override;
    qint64 SleptMs() override;
    qint64 AwakeMs() override;
    void HoldAwake() override;
    void ReleaseAwake() override;
    QList<storage::LockLine> AwakeLocks() override;
    bool AwakeSettled() override;
    // What a click on a desktop notice does: raise the window.
    void OnNoticeActivated(std::function<void()> activate) { activateWindow_ = std::move(activate); }

    // Builds the box for a style; exposed so tests can inspect it.
    static void ConfigureMessageBox(QMessageBox& box, const QString& text, int style, const QString& title);
    // The answer code of the button a box was closed with.
    static int AnswerOf(const QMessageBox& box);
    // Where a box of this frame size stands beside its window, on the
    // screen and clear of the window, whose texts it may point to: below,
    // else right, left or above; only on a screen too small for any, over it.
    static QRect PlaceBeside(const QRect& window, const QSize& box, const QRect& screen);

protected:
    int ShowMessageBox(const QString& text, int style, const QString& title, const QString& extraButton) override;
    void PumpEvents() override;
    void OnEnd() override;
    void SendNotice(const DesktopNotice& notice) override;
    void SendProgress(const TaskbarProgress& progress) override;
    void WithdrawNotice() override;

private:
    DesktopNotices& Notices();
    QWidget* BoxesWindow();

    std::function<void()> quit_;
    std::function<void()> activateWindow_;
    QPointer<QWidget> lastActive_;
    std::unique_ptr<DesktopNotices> notices_;
    KeepAwake keepAwake_;
    ThreadBurnWorkers workers_;
    std::unique_ptr<ChargeControl> charging_;
};

}  // namespace platform
