// SPDX-License-Identifier: GPL-3.0-or-later
// The power helper's plain functions: reading choice attributes, the order
// of threshold writes, and who gets what back.
#include "powerhelper/change_ledger.h"
#include "powerhelper/charge_settings.h"

#include <QTest>

using namespace powerhelper;

namespace {

using Which = ThresholdWrite::Which;

// Applies writes as a driver that refuses start >= end would, failing the
// test on the first write it refuses.
Thresholds Apply(Thresholds thresholds, const std::vector<ThresholdWrite>& writes) {
    for (const ThresholdWrite& write : writes) {
        (write.which == Which::Start ? thresholds.start : thresholds.end) = write.value;
        if (thresholds.start && thresholds.end && *thresholds.start >= *thresholds.end) {
            QTest::qFail(qPrintable(QStringLiteral("start %1 >= end %2 after a write")
                                        .arg(*thresholds.start).arg(*thresholds.end)),
                         __FILE__, __LINE__);
            return {};
        }
    }
    return thresholds;
}

}  // namespace

class TestPowerHelper : public QObject {
    Q_OBJECT

private slots:
    void choices_data() {
        QTest::addColumn<QString>("content");
        QTest::addColumn<QStringList>("offered");
        QTest::addColumn<QString>("selected");
        QTest::newRow("three, first selected") << "[auto] inhibit-charge force-discharge"
                                               << QStringList{"auto", "inhibit-charge", "force-discharge"} << "auto";
        QTest::newRow("last selected, newline") << "auto inhibit-charge [force-discharge]\n"
                                                << QStringList{"auto", "inhibit-charge", "force-discharge"}
                                                << "force-discharge";
        QTest::newRow("one plain word") << "force-discharge" << QStringList{"force-discharge"} << "force-discharge";
        QTest::newRow("several, none selected") << "auto inhibit-charge" << QStringList{"auto", "inhibit-charge"}
                                                << "";
        QTest::newRow("empty brackets are a word") << "[] auto" << QStringList{"[]", "auto"} << "";
        QTest::newRow("empty") << "" << QStringList{} << "";
    }
    void choices() {
        QFETCH(QString, content);
        QFETCH(QStringList, offered);
        QFETCH(QString, selected);
        QCOMPARE(OfferedChoices(content), offered);
        QCOMPARE(SelectedChoice(content), selected);
    }

    void percents() {
        QCOMPARE(ParsePercent("80\n"), std::optional<int>(80));
        QCOMPARE(ParsePercent("0"), std::optional<int>(0));
        QCOMPARE(ParsePercent("100"), std::optional<int>(100));
        for (const char* bad : {"101", "-1", "", "8O", "80 %"})
            QVERIFY2(!ParsePercent(bad), bad);
    }

    void threshold_order_named_cases() {
        // Only what differs is written; a threshold the target leaves out stays.
        QCOMPARE(OrderThresholdWrites({75, 100}, {99, 100}), (std::vector<ThresholdWrite>{{Which::Start, 99}}));
        QCOMPARE(OrderThresholdWrites({75, 80}, {std::nullopt, 100}), (std::vector<ThresholdWrite>{{Which::End, 100}}));
        QCOMPARE(OrderThresholdWrites({std::nullopt, 80}, {std::nullopt, 60}),
                 (std::vector<ThresholdWrite>{{Which::End, 60}}));
        QVERIFY(OrderThresholdWrites({40, 60}, {40, 60}).empty());
    }

    // Every pair of valid settings to every other: start stays below end at
    // each step, and the target is reached.
    void threshold_order_keeps_start_below_end() {
        const int values[] = {0, 20, 40, 59, 60, 61, 80, 99, 100};
        for (int fromStart : values)
            for (int fromEnd : values)
                for (int toStart : values)
                    for (int toEnd : values) {
                        if (fromStart >= fromEnd || toStart >= toEnd)
                            continue;
                        const Thresholds reached =
                            Apply({fromStart, fromEnd}, OrderThresholdWrites({fromStart, fromEnd}, {toStart, toEnd}));
                        if (QTest::currentTestFailed())
                            qWarning() << "from" << fromStart << fromEnd << "to" << toStart << toEnd;
                        QVERIFY(!QTest::currentTestFailed());
                        QCOMPARE(reached.start, std::optional<int>(toStart));
                        QCOMPARE(reached.end, std::optional<int>(toEnd));
                    }
    }

    // Two callers on one setting: it goes back to what was there before
    // either once both have let go, in whichever order they do.
    void ledger_stacks_callers_on_one_setting() {
        const Setting behaviour{"BAT0", "charge_behaviour"};
        for (bool olderFirst : {true, false}) {
            ChangeLedger ledger;
            ledger.Record({":1.5", 1000, "discharge"}, behaviour, "auto");
            ledger.Record({":1.7", 1001, "discharge"}, behaviour, "force-discharge");
            const QString first = olderFirst ? ":1.5" : ":1.7";
            const QString second = olderFirst ? ":1.7" : ":1.5";
            const std::vector<Restoration> early = ledger.Release(first);
            QCOMPARE(early.empty(), olderFirst);  // the newer one's value stays while the older lets go
            QCOMPARE(ledger.Release(second), (std::vector<Restoration>{{behaviour, "auto"}}));
            QVERIFY(ledger.Empty());
        }
    }

    // What a crashed helper left is read back by the next one: the value
    // found first, per setting, in the order the changes were made; a later
    // version's extra keys are passed over, another file is not taken.
    void ledger_survives_the_disk() {
        ChangeLedger ledger;
        ledger.Record({":1.5", 1000, "lift"}, {"BAT0", "charge_control_end_threshold"}, "80");
        ledger.Record({":1.5", 1000, "lift"}, {"BAT0", "charge_control_start_threshold"}, "75");
        ledger.Record({":1.7", 1001, "discharge"}, {"BAT0", "charge_behaviour"}, "auto");
        ledger.Record({":1.5", 1000, "discharge"}, {"BAT0", "charge_behaviour"}, "force-discharge");
        QByteArray json = ledger.ToJson();
        ChangeLedger read;
        QVERIFY(ChangeLedger::FromJson(json, read, nullptr));
        QVERIFY(read.HoldsUnder(":1.5", "BAT0", "lift") && !read.HoldsUnder(":1.7", "BAT0", "lift"));
        const std::vector<Restoration> all = read.ReleaseAll();
        QCOMPARE(all, ledger.ReleaseAll());
        QCOMPARE(all, (std::vector<Restoration>{{{"BAT0", "charge_control_end_threshold"}, "80"},
                                                {{"BAT0", "charge_control_start_threshold"}, "75"},
                                                {{"BAT0", "charge_behaviour"}, "auto"}}));
        json.replace("\"version\": 1", "\"version\": 7, \"signed\": \"x\"");
        json.replace("\"found\": \"75\"", "\"found\": 75");  // an entry without a readable value
        QVERIFY(ChangeLedger::FromJson(json, read, nullptr));
        QCOMPARE(read.ReleaseAll().size(), 2u);
        QString error;
        QVERIFY(!ChangeLedger::FromJson(R"({"format": "other", "version": 1, "changes": []})", read, &error));
        QVERIFY(!ChangeLedger::FromJson("{\"format\": \"dorvik-power-helper changes\"", read, &error));
        QVERIFY(!error.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestPowerHelper)
#include "tst_power_helper.moc"
