// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt_platform.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QRect>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>
#include <algorithm>

#include "platform/sleep_clock.h"
#include "storage/date_text.h"

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace platform {
namespace {

class QtIntervalTimer : public IntervalTimer {
public:
    QtIntervalTimer(int intervalMs, std::function<void()> onTick)
    {
        QObject::connect(&timer_, &QTimer::timeout, std::move(onTick));
        timer_.start(intervalMs);
    }
    void SetInterval(int milliseconds) override { timer_.setInterval(milliseconds); }

private:
    QTimer timer_;
};

QMessageBox::Icon IconOf(int style)
{
    switch (style & kIconMask) {
    case vbCritical: return QMessageBox::Critical;
    case vbExclamation: return QMessageBox::Warning;
    default: return QMessageBox::NoIcon;
    }
}

}  // namespace

QtPlatform::QtPlatform(std::function<void()> quit)
    : quit_(quit ? std::move(quit) : [] { QCoreApplication::exit(0); })
{
}

// Made at first use: a program that never calls the helper never touches the system bus.
ChargeControl& QtPlatform::Charging()
{
    if (!charging_)
        charging_ = MakeChargeControl();
    return *charging_;
}

void QtPlatform::Sleep(int milliseconds)
{
    QThread::msleep(static_cast<unsigned long>(milliseconds));
}

std::unique_ptr<IntervalTimer> QtPlatform::CreateTimer(int intervalMs, std::function<void()> onTick)
{
    return std::make_unique<QtIntervalTimer>(intervalMs, std::move(onTick));
}

void QtPlatform::Launch(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
#ifdef Q_OS_WIN
    // Shown normally without taking the focus (window style 4).
    process.setCreateProcessArgumentsModifier([](QProcess::CreateProcessArguments* args) {
        args->startupInfo->dwFlags |= STARTF_USESHOWWINDOW;
        args->startupInfo->wShowWindow = SW_SHOWNOACTIVATE;
    });
#endif
    if (!process.startDetached())
        throw UntrappedError(QStringLiteral("Could not start the program \"%1\".").arg(program),
                             process.errorString());
}

std::optional<CommandLine> QtPlatform::PowerOptionsPanel()
{
    return SystemPowerPanel();
}

QDateTime QtPlatform::Now()
{
    return storage::WholeSeconds(QDateTime::currentDateTime());
}

qint64 QtPlatform::SleptMs()
{
    return SleptMsSinceBoot();
}

qint64 QtPlatform::AwakeMs()
{
    return AwakeMsSinceBoot();
}

void QtPlatform::HoldAwake()
{
    keepAwake_.Hold();
}

void QtPlatform::ReleaseAwake()
{
    keepAwake_.Release();
}

QList<storage::LockLine> QtPlatform::AwakeLocks()
{
    return keepAwake_.Locks();
}

bool QtPlatform::AwakeSettled()
{
    return keepAwake_.Settled();
}

void QtPlatform::ConfigureMessageBox(QMessageBox& box, const QString& text, int style, const QString& title)
{
    box.setWindowTitle(title);
    box.setTextFormat(Qt::PlainText);
    box.setText(ForDisplay(text));
    box.setIcon(IconOf(style));
    switch (style & kButtonSetMask) {
    case vbYesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        box.setEscapeButton(QMessageBox::Cancel);
        break;
    case vbYesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setEscapeButton(QMessageBox::No);
        break;
    default:
        box.setStandardButtons(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Ok);
        break;
    }
}

int QtPlatform::AnswerOf(const QMessageBox& box)
{
    // A box closed without a button press (the application ending under it)
    // counts as its escape answer.
    const QAbstractButton* pressed = box.clickedButton() ? box.clickedButton() : box.escapeButton();
    switch (pressed ? box.standardButton(const_cast<QAbstractButton*>(pressed)) : QMessageBox::Cancel) {
    case QMessageBox::Yes: return vbYes;
    case QMessageBox::No: return vbNo;
    case QMessageBox::Ok: return vbOK;
    default: return vbCancel;
    }
}

QRect QtPlatform::PlaceBeside(const QRect& window, const QSize& box, const QRect& screen)
{
    constexpr int kGap = 8;
    const int centreX = window.center().x() - box.width() / 2;
    const int centreY = window.center().y() - box.height() / 2;
    // Above first: the power-scheme box points to "the box below", the
    // window's status box.
    const QPoint places[] = {
        {centreX, window.top() - kGap - box.height()},
        {centreX, window.bottom() + 1 + kGap},
        {window.right() + 1 + kGap, centreY},
        {window.left() - kGap - box.width(), centreY},
    };
    // Slid along the window's edge to stay on the screen.
    const auto onScreen = [&](QPoint at) {
        at.setX(std::clamp(at.x(), screen.left(), std::max(screen.left(), screen.right() + 1 - box.width())));
        at.setY(std::clamp(at.y(), screen.top(), std::max(screen.top(), screen.bottom() + 1 - box.height())));
        return QRect(at, box);
    };
    for (const QPoint& at : places) {
        const QRect place = onScreen(at);
        if (screen.contains(place) && !place.intersects(window))
            return place;
    }
    return onScreen(places[0]);
}

namespace {

// Not modal: the run goes on under it, and the window stays usable.
class DialogChoice : public SideChoice {
public:
    DialogChoice(QWidget* window, const QString& text, const QString& button, std::function<void()> pressed)
    {
        dialog_ = new QDialog(window);
        dialog_->setWindowTitle(kAppTitle);
        auto* layout = new QVBoxLayout(dialog_);
        auto* label = new QLabel(text, dialog_);
        label->setWordWrap(true);
        layout->addWidget(label);
        auto* press = new QPushButton(button, dialog_);
        layout->addWidget(press, 0, Qt::AlignRight);
        QObject::connect(press, &QPushButton::clicked, dialog_, std::move(pressed));
        dialog_->adjustSize();
        if (window && window->isVisible() && window->screen())
            dialog_->move(QtPlatform::PlaceBeside(window->frameGeometry(), dialog_->size() + QSize(16, 48),
                                                  window->screen()->availableGeometry()).topLeft());
        dialog_->show();
    }
    ~DialogChoice() override { delete dialog_.data(); }

private:
    QPointer<QDialog> dialog_;
};

}  // namespace

std::unique_ptr<SideChoice> QtPlatform::OfferChoice(const QString& text, const QString& button,
                                                    std::function<void()> pressed)
{
    return std::make_unique<DialogChoice>(BoxesWindow(), text, button, std::move(pressed));
}

// The window a side box stands beside: the active one, else the last one
// a message box found active (no window manager may activate it again).
QWidget* QtPlatform::BoxesWindow()
{
    if (QWidget* active = QApplication::activeWindow())
        lastActive_ = active;
    return lastActive_;
}

int QtPlatform::ShowMessageBox(const QString& text, int style, const QString& title, const QString& extraButton)
{
    QWidget* window = QApplication::activeWindow();
    if (window)
        lastActive_ = window;
    QMessageBox box(window);
    ConfigureMessageBox(box, text, style, title);
    // Its first letter as its access key, beside Yes and No's own.
    const QString caption = extraButton.contains(QLatin1Char('&')) ? extraButton : QLatin1Char('&') + extraButton;
    const QAbstractButton* extra = extraButton.isEmpty() ? nullptr : box.addButton(caption, QMessageBox::ActionRole);
    if (window && window->isVisible() && window->screen()) {
        // The window frame's title bar and borders, before the box has one.
        const QSize frame(16, 48);
        box.adjustSize();
        box.move(PlaceBeside(window->frameGeometry(), box.size() + frame, window->screen()->availableGeometry()).topLeft());
    }
    box.exec();
    return extra && box.clickedButton() == extra ? kExtraButtonAnswer : AnswerOf(box);
}

void QtPlatform::PumpEvents()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void QtPlatform::OnEnd()
{
    for (QWidget* window : QApplication::topLevelWidgets())
        window->hide();
    quit_();
}

// Created at the first notice, so a window that never runs a calibration
// never talks to the notification service.
DesktopNotices& QtPlatform::Notices()
{
    if (!notices_) {
        notices_ = CreateDesktopNotices();
        notices_->onActivated = [this] {
            if (!NoticeClicked() && activateWindow_)
                activateWindow_();
        };
    }
    return *notices_;
}

void QtPlatform::SendNotice(const DesktopNotice& notice)
{
    Notices().Show(notice);
}

void QtPlatform::WithdrawNotice()
{
    if (notices_)
        notices_->Withdraw();
}

void QtPlatform::SendProgress(const TaskbarProgress& progress)
{
    Notices().SetProgress(progress);
}

}  // namespace platform
