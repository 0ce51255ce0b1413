#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QtTest>

#include "platform/qt_platform.h"

using platform::QtPlatform;

namespace {
// Ways to close a box besides its buttons.
constexpr int kEscape = -1;
constexpr int kCloseControl = -2;
}  // namespace

class QtPlatformTest : public QObject {
    Q_OBJECT

private slots:
    void boxShowsTheStylesButtonsAndAnswersTheirCodes_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<int>("closedBy");  // a standard button, kEscape or kCloseControl
        QTest::addColumn<int>("buttons");
        QTest::addColumn<int>("icon");
        QTest::addColumn<int>("answer");
        const int ok = QMessageBox::Ok, yesNo = QMessageBox::Yes | QMessageBox::No, yesNoCancel = yesNo | QMessageBox::Cancel;
        QTest::newRow("OK") << 0 << int(QMessageBox::Ok) << ok << int(QMessageBox::NoIcon) << 1;
        QTest::newRow("OK, critical, Escape") << 16 << kEscape << ok << int(QMessageBox::Critical) << 1;
        QTest::newRow("OK, exclamation, closed") << 48 << kCloseControl << ok << int(QMessageBox::Warning) << 1;
        QTest::newRow("Yes/No, Yes") << 4 << int(QMessageBox::Yes) << yesNo << int(QMessageBox::NoIcon) << 6;
        QTest::newRow("Yes/No, Escape answers No") << 4 << kEscape << yesNo << int(QMessageBox::NoIcon) << 7;
        QTest::newRow("Yes/No/Cancel, No") << 3 << int(QMessageBox::No) << yesNoCancel << int(QMessageBox::NoIcon) << 7;
        QTest::newRow("Yes/No/Cancel, Cancel") << 3 << int(QMessageBox::Cancel) << yesNoCancel << int(QMessageBox::NoIcon) << 2;
        QTest::newRow("Yes/No/Cancel, Escape answers Cancel") << 3 << kEscape << yesNoCancel << int(QMessageBox::NoIcon) << 2;
        QTest::newRow("Yes/No/Cancel, closed answers Cancel") << 3 << kCloseControl << yesNoCancel << int(QMessageBox::NoIcon) << 2;
    }

    void boxShowsTheStylesButtonsAndAnswersTheirCodes()
    {
        QFETCH(int, style);
        QFETCH(int, closedBy);
        QFETCH(int, buttons);
        QFETCH(int, icon);
        QFETCH(int, answer);
        QMessageBox box;
        QtPlatform::ConfigureMessageBox(box, QStringLiteral("line one\r\nline two"), style, QStringLiteral("Dorvik"));
        QCOMPARE(int(box.standardButtons()), buttons);
        QCOMPARE(int(box.icon()), icon);
        QCOMPARE(box.text(), QStringLiteral("line one\nline two"));
        box.show();
        if (closedBy == kEscape)
            QTest::keyClick(&box, Qt::Key_Escape);
        else if (closedBy == kCloseControl)
            box.close();
        else
            box.button(QMessageBox::StandardButton(closedBy))->click();
        QVERIFY(box.isHidden());
        QCOMPARE(QtPlatform::AnswerOf(box), answer);
    }

    void endWhileABoxIsOpenUnwindsAfterIt()
    {
        int quits = 0;
        QtPlatform qt([&] { ++quits; });
        QTimer::singleShot(0, [&] { qt.RequestEnd(); });  // the main window was closed under the box
        QVERIFY_THROWS_EXCEPTION(platform::EndRequested, qt.MsgBox(QStringLiteral("question"), platform::vbYesNoCancel));
        QCOMPARE(quits, 1);
    }

    void aProgramThatCannotStartIsAnUntrappedError()
    {
        QtPlatform qt([] {});
        QVERIFY_THROWS_EXCEPTION(platform::UntrappedError, qt.Launch(QStringLiteral("/nonexistent/dorvik-panel"), {}));
    }
};

QTEST_MAIN(QtPlatformTest)
#include "tst_qt_platform.moc"
