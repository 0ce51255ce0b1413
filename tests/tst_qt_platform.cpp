// SPDX-License-Identifier: GPL-3.0-or-later
#include <QAbstractButton>
#include <QMessageBox>
#include <QTimer>
#include <QtTest>

#include "platform/qt_platform.h"

class QtPlatformTest : public QObject {
    Q_OBJECT

private slots:
    void boxShowsTheStylesButtonsAndAnswersTheirCodes_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<int>("closedBy");  // a standard button, or Escape (-1) or the close control (-2)
        QTest::addColumn<int>("buttons");
        QTest::addColumn<int>("icon");
        QTest::addColumn<int>("answer");
        const int ok = QMessageBox::Ok, yes = QMessageBox::Yes, yesNo = yes | QMessageBox::No;
        const int none = QMessageBox::NoIcon, yesNoCancel = yesNo | QMessageBox::Cancel;
        QTest::newRow("OK, critical, Escape") << 16 << -1 << ok << int(QMessageBox::Critical) << 1;
        QTest::newRow("OK, exclamation, closed") << 48 << -2 << ok << int(QMessageBox::Warning) << 1;
        QTest::newRow("Yes/No, Yes") << 4 << yes << yesNo << none << 6;
        QTest::newRow("Yes/No, Escape answers No") << 4 << -1 << yesNo << none << 7;
        QTest::newRow("Yes/No/Cancel, Escape answers Cancel") << 3 << -1 << yesNoCancel << none << 2;
        QTest::newRow("Yes/No/Cancel, closed answers Cancel") << 3 << -2 << yesNoCancel << none << 2;
    }

    void boxShowsTheStylesButtonsAndAnswersTheirCodes()
    {
        QFETCH(int, style);
        QFETCH(int, closedBy);
        QMessageBox box;
        platform::QtPlatform::ConfigureMessageBox(box, QStringLiteral("line one\r\nline two"), style, QStringLiteral("Dorvik"));
        QTEST(int(box.standardButtons()), "buttons");
        QTEST(int(box.icon()), "icon");
        QCOMPARE(box.text(), QStringLiteral("line one\nline two"));
        box.show();
        closedBy == -1 ? QTest::keyClick(&box, Qt::Key_Escape)
            : closedBy == -2 ? void(box.close()) : box.button(QMessageBox::StandardButton(closedBy))->click();
        QVERIFY(box.isHidden());
        QTEST(platform::QtPlatform::AnswerOf(box), "answer");
    }

    void endWhileABoxIsOpenUnwindsAfterIt()
    {
        int quits = 0;
        platform::QtPlatform qt([&] { ++quits; });
        QTimer::singleShot(0, [&] { qt.RequestEnd(); });  // the main window was closed under the box
        QVERIFY_THROWS_EXCEPTION(platform::EndRequested, qt.MsgBox(QStringLiteral("question"), platform::vbYesNoCancel));
        QCOMPARE(quits, 1);
    }

    void aProgramThatCannotStartIsAnUntrappedError()
    {
        platform::QtPlatform qt([] {});
        QVERIFY_THROWS_EXCEPTION(platform::UntrappedError, qt.Launch(QStringLiteral("/nonexistent/dorvik-panel"), {}));
    }
};

QTEST_MAIN(QtPlatformTest)
#include "tst_qt_platform.moc"
