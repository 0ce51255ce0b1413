#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QtTest>

#include "platform/qt_platform.h"
#include "support/modal_driver.h"

namespace {

class NoPower : public power::PowerStatusSource {
public:
    int Query(SYSTEM_POWER_STATUS&) override { return 0; }
};

// Shows a real box through the platform and closes it with the given action.
int ShowAndClose(int style, const std::function<void(QMessageBox&)>& close, QMessageBox* seen = nullptr,
                 const QString& title = {})
{
    NoPower power;
    platform::QtPlatform qt(power, [] {});
    ModalDriver driver;
    driver.Expect([&](QMessageBox& box) {
        if (seen) {
            seen->setWindowTitle(box.windowTitle());
            seen->setText(box.text());
            seen->setIcon(box.icon());
            seen->setStandardButtons(box.standardButtons());
        }
        close(box);
    });
    const int answer = qt.MsgBox(QStringLiteral("line one\r\nline two"), style, title);
    return driver.AllAnswered() ? answer : -1;
}

void PressEscape(QMessageBox& box)
{
    QTest::keyClick(&box, Qt::Key_Escape);
}

}  // namespace

class QtPlatformTest : public QObject {
    Q_OBJECT

private slots:
    void eachStyleShowsItsButtonsAndIcon_data();
    void eachStyleShowsItsButtonsAndIcon();
    void everyButtonMapsToItsCode();
    void escapeAndCloseAnswerTheBoxesEscapeButton();
    void endWhileABoxIsOpenUnwindsAfterIt();
    void aProgramThatCannotStartIsAnUntrappedError();
};

void QtPlatformTest::eachStyleShowsItsButtonsAndIcon_data()
{
    QTest::addColumn<int>("style");
    QTest::addColumn<int>("buttons");
    QTest::addColumn<int>("icon");
    const int ok = QMessageBox::Ok;
    const int yesNo = QMessageBox::Yes | QMessageBox::No;
    QTest::newRow("OK, no icon") << 0 << ok << int(QMessageBox::NoIcon);
    QTest::newRow("OK, critical") << 16 << ok << int(QMessageBox::Critical);
    QTest::newRow("OK, exclamation") << 48 << ok << int(QMessageBox::Warning);
    QTest::newRow("Yes/No") << 4 << yesNo << int(QMessageBox::NoIcon);
    QTest::newRow("Yes/No/Cancel") << 3 << (yesNo | QMessageBox::Cancel) << int(QMessageBox::NoIcon);
}

void QtPlatformTest::eachStyleShowsItsButtonsAndIcon()
{
    QFETCH(int, style);
    QFETCH(int, buttons);
    QFETCH(int, icon);
    QMessageBox seen;
    const int answer = ShowAndClose(style, [](QMessageBox& box) { box.buttons().first()->click(); }, &seen);
    QVERIFY(answer > 0);
    QCOMPARE(int(seen.standardButtons()), buttons);
    QCOMPARE(int(seen.icon()), icon);
    QCOMPARE(seen.windowTitle(), QStringLiteral("Dorvik"));
    QCOMPARE(seen.text(), QStringLiteral("line one\nline two"));
}

void QtPlatformTest::everyButtonMapsToItsCode()
{
    QCOMPARE(ShowAndClose(0, ModalDriver::Press(QMessageBox::Ok)), 1);
    QCOMPARE(ShowAndClose(3, ModalDriver::Press(QMessageBox::Cancel)), 2);
    QCOMPARE(ShowAndClose(3, ModalDriver::Press(QMessageBox::Yes)), 6);
    QCOMPARE(ShowAndClose(3, ModalDriver::Press(QMessageBox::No)), 7);
    QCOMPARE(ShowAndClose(4, ModalDriver::Press(QMessageBox::Yes)), 6);
    QCOMPARE(ShowAndClose(4, ModalDriver::Press(QMessageBox::No)), 7);
    QMessageBox seen;
    QCOMPARE(ShowAndClose(16, ModalDriver::Press(QMessageBox::Ok), &seen, QStringLiteral("Error")), 1);
    QCOMPARE(seen.windowTitle(), QStringLiteral("Error"));
}

void QtPlatformTest::escapeAndCloseAnswerTheBoxesEscapeButton()
{
    QCOMPARE(ShowAndClose(3, PressEscape), 2);
    QCOMPARE(ShowAndClose(3, [](QMessageBox& box) { box.close(); }), 2);
    QCOMPARE(ShowAndClose(4, PressEscape), 7);
    QCOMPARE(ShowAndClose(0, PressEscape), 1);
    QCOMPARE(ShowAndClose(48, [](QMessageBox& box) { box.close(); }), 1);
}

void QtPlatformTest::endWhileABoxIsOpenUnwindsAfterIt()
{
    NoPower power;
    int quits = 0;
    platform::QtPlatform qt(power, [&] { ++quits; });
    ModalDriver driver;
    driver.Expect([&](QMessageBox& box) {
        qt.RequestEnd();  // the main window was closed under the box
        box.reject();
    });
    bool continued = false;
    try {
        qt.MsgBox(QStringLiteral("question"), platform::vbYesNoCancel);
        continued = true;
    } catch (const platform::EndRequested&) {
    }
    QVERIFY(!continued);
    QCOMPARE(quits, 1);
}

void QtPlatformTest::aProgramThatCannotStartIsAnUntrappedError()
{
    NoPower power;
    platform::QtPlatform qt(power, [] {});
    try {
        qt.Launch(QStringLiteral("/nonexistent/dorvik-power-panel"), {});
        QFAIL("a missing program was reported as started");
    } catch (const platform::UntrappedError& error) {
        QVERIFY(error.What().contains(QStringLiteral("/nonexistent/dorvik-power-panel")));
        QVERIFY(!error.Reason().isEmpty());
    }
}

QTEST_MAIN(QtPlatformTest)
#include "tst_qt_platform.moc"
