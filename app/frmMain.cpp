// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/frmMain.h"

#include <QCloseEvent>
#include <QFontInfo>
#include <QIcon>
#include <QLabel>
#include <QPlainTextEdit>

#include "app/wrapping_button.h"

namespace {

// 8.25 points of MS Sans Serif, or the closest sans-serif face installed.
// The substitutes run about six per cent wider than MS Sans Serif; narrowing
// them keeps the instruction lines wrapping where their runs of blanks say.
QFont WindowFont(bool bold)
{
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("Arial"), QStringLiteral("DejaVu Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(8.25);
    font.setBold(bold);
    if (!QFontInfo(font).family().startsWith(QStringLiteral("MS Sans Serif")))
        font.setLetterSpacing(QFont::PercentageSpacing, 94);
    return font;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption, QRect geometry)
{
    auto* button = new WrappingButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(geometry);
    button->setAutoDefault(false);
    return button;
}

QLabel* MakeLabel(QWidget* parent, const char* name, QRect geometry, bool bold)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(geometry);
    label->setFont(WindowFont(bold));
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setWordWrap(true);
    return label;
}

}  // namespace

frmMain::frmMain(platform::Platform& platform, power::PowerStatusSource& power, QString resultLogPath,
                 QString runRecordDirectory)
    : platform_(platform), power_(power), resultLogPath_(std::move(resultLogPath)),
      runRecordDirectory_(std::move(runRecordDirectory))
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Battery Calibration"));
    setWindowIcon(QIcon(QStringLiteral(":/dorvik/dorvik.xpm")));
    setFont(WindowFont(false));
    setFixedSize(416, 418);
    CreateControls();
    MilliSec = platform_.CreateTimer(1000, [this] { Dispatch(&frmMain::MilliSec_Timer); });
}

frmMain::~frmMain() = default;

void frmMain::CreateControls()
{
    TxtStatus = new QPlainTextEdit(this);
    TxtStatus->setObjectName(QStringLiteral("TxtStatus"));
    TxtStatus->setGeometry(8, 8, 300, 233);
    TxtStatus->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    TxtStatus->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Tab walks the window; the user never needs a tab character in here.
    TxtStatus->setTabChangesFocus(true);

    Label1 = MakeLabel(this, "Label1", QRect(7, 256, 300, 145), false);
    cmdGP = MakeButton(this, "cmdGP", QStringLiteral("Display Current Battery &Status"), QRect(321, 6, 89, 52));
    Command2 = MakeButton(this, "Command2", QStringLiteral("&View Result"), QRect(320, 72, 89, 33));
    Labdish = MakeLabel(this, "Labdish", QRect(324, 135, 76, 34), true);
    Labdish->setText(QStringLiteral("Fast Discharge"));
    cmdFast = MakeButton(this, "cmdFast", QStringLiteral("Set Slow &Discharge"), QRect(321, 201, 89, 34));
    Command1 = MakeButton(this, "Command1", QStringLiteral("&Begin Calibration"), QRect(321, 264, 89, 52));
    Help = MakeButton(this, "Help", QStringLiteral("&Help"), QRect(369, 336, 41, 33));
    cmdExit = MakeButton(this, "cmdExit", QStringLiteral("E&xit"), QRect(368, 384, 43, 28));

    for (QLabel* label : {Label1, Labdish})
        label->setFocusPolicy(Qt::NoFocus);
    QWidget::setTabOrder(cmdExit, TxtStatus);
    QWidget::setTabOrder(TxtStatus, cmdGP);
    QWidget::setTabOrder(cmdGP, Command1);
    QWidget::setTabOrder(Command1, Command2);
    QWidget::setTabOrder(Command2, Help);
    QWidget::setTabOrder(Help, cmdFast);

    ConnectHandler(cmdExit, &frmMain::cmdExit_Click);
    ConnectHandler(Help, &frmMain::Help_Click);
    ConnectHandler(cmdFast, &frmMain::cmdFast_Click);
    ConnectHandler(Command1, &frmMain::Command1_Click);
    ConnectHandler(Command2, &frmMain::Command2_Click);
    ConnectHandler(cmdGP, &frmMain::cmdGP_Click);
}

void frmMain::ConnectHandler(QPushButton* button, void (frmMain::*handler)())
{
    connect(button, &QPushButton::clicked, this, [this, handler] { Dispatch(handler); });
}

void frmMain::Load()
{
    Dispatch(&frmMain::Form_Load);
}

void frmMain::Dispatch(void (frmMain::*handler)())
{
    try {
        try {
            (this->*handler)();
        } catch (const platform::UntrappedError& error) {
            platform_.ReportAndEnd(error);
        }
    } catch (const platform::EndRequested&) {
        // The application is ending; this handler's frames are gone.
    }
}

void frmMain::SetStatusText(const QString& text)
{
    // The fast discharge loop sets the same text thousands of times a
    // second; laying out an unchanged text again would only cost time.
    const QString shown = platform::ForDisplay(text);
    if (TxtStatus->toPlainText() != shown)
        TxtStatus->setPlainText(shown);
}

QString frmMain::StatusText() const
{
    // The user may type into the box; what it shows is what counts.
    return TxtStatus->toPlainText().replace(QLatin1Char('\n'), platform::kCrLf);
}

void frmMain::closeEvent(QCloseEvent* event)
{
    // Closing the window ends the application, also under a running handler.
    event->accept();
    platform_.RequestEnd();
}
