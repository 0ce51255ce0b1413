// The demo end to end: the real window, real boxes and the simulator's
// adaptor switch, through a fast discharge to the simulated switch-off.
#include <QCheckBox>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "demo/demo_session.h"
#include "platform/date_text.h"

class DemoTest : public QObject {
    Q_OBJECT

private slots:
    void fastDischargeUntilTheSimulatedMachineDies()
    {
        QTemporaryDir dir;
        const QString logPath = dir.filePath(QStringLiteral("Dorvik-demo.log"));
        int switchOffs = 0;
        demo::DemoSession* running = nullptr;
        demo::DemoSession session(logPath, logPath + QStringLiteral(".runs"), [] {}, [&] {
            ++switchOffs;
            running->Platform().RequestEnd();  // the run unwinds at its next pump
        });
        running = &session;
        session.Start();
        QCheckBox* ac = session.Simulator().findChild<QCheckBox*>();
        QVERIFY(ac && ac->accessibleName() == QStringLiteral("AC adaptor plugged in"));
        ac->click();
        session.Battery().SetCapacityWh(2.5);  // even idle it dies within half a minute at 60x
        QCOMPARE(session.Window().Fast, 1);

        // The user: answers OK and Yes, then pulls the plug.
        int answered = 0;
        QTimer user;
        connect(&user, &QTimer::timeout, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                (box->button(QMessageBox::Yes) ? box->button(QMessageBox::Yes) : box->button(QMessageBox::Ok))->click();
                ++answered;
            } else if (answered == 2 && ac->isChecked()) {
                ac->click();
            }
        });
        user.start(50);
        QTimer::singleShot(90'000, [&] { session.Platform().RequestEnd(); });
        session.Window().Command1->click();

        QCOMPARE(answered, 2);
        QCOMPARE(switchOffs, 1);
        QFile log(logPath);
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromLocal8Bit(log.readAll()).split(QStringLiteral("\r\n"));
        QCOMPARE(lines.size(), 4);
        const auto started = platform::ParseDateText(lines[1]), written = platform::ParseDateText(lines[2]);
        QVERIFY(started && written);
        // The minutes come from a clock read just before the one of line 3.
        const qint64 minutes = platform::MinutesBetween(*started, *written);
        QVERIFY2(lines[0] == QString::number(minutes) || lines[0] == QString::number(minutes - 1), qPrintable(lines[0]));
    }
};

QTEST_MAIN(DemoTest)
#include "tst_demo.moc"
