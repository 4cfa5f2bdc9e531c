#include "bus_helper.h"

#include <QTest>

using namespace qvr;

namespace {

// Entries of the panels below: ZL alarm address 12 has a text, 7 has none, 0 is the
// panel's own event; the second 12 reuses the first one's programming record.
const QString kZl =
    QStringLiteral("panel class=ZL address=17\n"
                   "entry address=12 start=\"2026-03-05 12:00\" analog=\"U ,V ,12.5,I ,mA,3\"\n"
                   "entry address=12 start=\"2026-03-05 12:10\" ack=\"2026-03-05 12:11\" "
                   "analog=\"U ,V ,11.5,I ,mA,2\"\n"
                   "entry address=0 start=\"2026-03-06 00:00\"\n"
                   "entry address=7 start=\"2026-03-06 01:00\" stop=\"2026-03-06 02:00\"\n"
                   "program address=12 text=5\n"
                   "program address=7 text=0\n"
                   "text number=5 lines=\"Halle 3|zweite Zeile\"\n");

const QString kPv = QStringLiteral("panel class=PV address=5\n"
                                   "entry source=1 address=12 start=\"2026-03-05 12:00\"\n"
                                   "entry source=1 address=12 start=\"2026-03-05 12:10\"\n"
                                   "entry source=2 address=3 start=\"2026-03-05 13:00\"\n"
                                   "entry source=1 address=9 start=\"2026-03-05 14:00\"\n"
                                   "program address=12 text=5\n"
                                   "program address=9 text=0\n"
                                   "text number=5 lines=\"Halle 3|zweite Zeile\"\n"
                                   "alarm ext=0 int=3 kind=99 text=\"Melder Halle 3\"\n"
                                   "alarm ext=0 int=4 kind=01 text=\"\"\n");

const QString kRq = QStringLiteral("panel class=RQ type=RQ model=6150 address=99\n"
                                   "entry source=1 address=4 start=\"2026-03-05 12:00\"\n"
                                   "program address=4 text=0\n");

QStringList expand(const QString &address, const QString &compact)
{
    QStringList out;
    for (const QString &part : compact.split(QLatin1Char('|'))) {
        // "CMD*n": the same request n times.
        const qsizetype star = part.indexOf(QLatin1Char('*'));
        const int times = star < 0 ? 1 : part.mid(star + 1).toInt();
        for (int i = 0; i < times; ++i)
            out << QStringLiteral(":;") + address + QLatin1Char(':') + part.left(star);
    }
    return out;
}

} // namespace

class TestReadout : public QObject
{
    Q_OBJECT

private slots:
    void panelClass_data();
    void panelClass();
    void sequence_data();
    void sequence();
    void otherStationIgnored();
    void secondReadoutOverwrites();
    void fileRefuses_data();
    void fileRefuses();
};

void TestReadout::panelClass_data()
{
    QTest::addColumn<QString>("type"); // the command field of the identification answer
    QTest::addColumn<QString>("model");
    QTest::addColumn<QString>("deviceClass"); // empty: not a supported panel
    const char *const rows[][3] = {{"JX   ", "940", "RQ"}, {"RQ   ", "6150", "RQ"},
                                   {"WE   ", "610", "PV"}, {"RQ   ", "370", "PV"},
                                   {"PV   ", "370", "PV"}, {"ZL   ", "2900", "ZL"},
                                   {"ZL   ", "720", "ZL"}, {"VZT  ", "8830", "ZL"},
                                   {"xZLx ", "720", "ZL"}, // the type inside a longer field
                                   {"ZL   ", "7200", ""},  // the model must match exactly
                                   {"PV   ", "2900", ""}}; // the model of another type
    for (const auto &r : rows)
        QTest::addRow("%s %s", r[0], r[1]) << r[0] << r[1] << r[2];
}

// Which panel type and model the program reads as which class.
void TestReadout::panelClass()
{
    QFETCH(QString, type);
    QFETCH(QString, model);
    QFETCH(QString, deviceClass);
    QCOMPARE(ReadoutSequence::ClassOfPanel(type, model), deviceClass);
}

void TestReadout::sequence_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<QString>("connection");
    // Requests in order; "X*n" is X sent n times.
    QTest::addColumn<QString>("requests");
    QTest::addColumn<QList<int>>("messages");
    QTest::addColumn<bool>("success");
    // ParameterNummer of the HISTORY rows after the read-out.
    QTest::addColumn<QList<int>>("history");
    QTest::addColumn<bool>("readoutErrors");

    const QString usb = QStringLiteral("USB");
    const QString rs232 = QStringLiteral("RS232");
    const QString zlAll = QStringLiteral(
        "IDNM? 1|LCDH|LCDH?|LCDRA 001|LCDRH 001|LCDRP 012|LCDRT 005|LCDRA 001|LCDRH 002|"
        "LCDRA 002|LCDRH 003|LCDRH 004|LCDRP 007|LCDRA 004|LCDST");
    QTest::newRow("ZL: record reuse, address 000, no text")
        << kZl << usb << zlAll << QList<int>{} << true << QList<int>{12, 12, 0, 7} << false;
    QTest::newRow("ZL: analogue probe unanswered twice")
        << kZl + "fault noanalog=1\n"
        << rs232
        << "IDNM? 1|LCDH|LCDH?|LCDRA 001*2|LCDRH 001|LCDRP 012|LCDRT 005|LCDRH 002|LCDRH 003|"
           "LCDRH 004|LCDRP 007|LCDST"
        << QList<int>{} << true << QList<int>{12, 12, 0, 7} << false;
    QTest::newRow("PV: address table, flags, reuse, text 0")
        << kPv << rs232
        << "IDNM? 1|LCDH|RQRTS|RQNA?|RQRAA 001|RQRAA 002|LCDH?|LCDRH 001|LCDRP 012|LCDRT 005|"
           "LCDRH 002|LCDRH 003|LCDRH 004|LCDRP 009|LCDST"
        << QList<int>{} << true << QList<int>{12, 12, 3, 9} << false;
    QTest::newRow("RQ: empty address table")
        << kRq << usb << "IDNM? 1|LCDH|RQRTS|RQNA?|LCDH?|LCDRH 001|LCDRP 004|LCDST" << QList<int>{}
        << true << QList<int>{4} << false;
    QTest::newRow("no entries") << "panel class=ZL address=17\n"
                                << usb << "IDNM? 1|LCDH|LCDH?|LCDST" << QList<int>{30060} << false
                                << QList<int>{} << false;
    QTest::newRow("unsuitable panel")
        << kZl + "panel type=XY model=1\n"
        << usb << "IDNM? 1" << QList<int>{30100} << false << QList<int>{} << false;
    QTest::newRow("ISX scanning") << kZl + "fault isx=1\n"
                                  << usb << "IDNM? 1|LCDH|LCDST" << QList<int>{31080} << true
                                  << QList<int>{} << false;
    QTest::newRow("programming record refused five times")
        << kZl + "fault kind=failcheck command=LCDRP index=12 times=5\n"
        << usb << "IDNM? 1|LCDH|LCDH?|LCDRA 001|LCDRH 001|LCDRP 012*5|LCDST" << QList<int>{30050}
        << false << QList<int>{} << true;
    QTest::newRow("refused four times, then accepted")
        << kZl + "fault kind=failcheck command=LCDRP index=12 times=4\n"
        << usb
        << "IDNM? 1|LCDH|LCDH?|LCDRA 001|LCDRH 001|LCDRP 012*5|LCDRT 005|LCDRA 001|LCDRH 002|"
           "LCDRA 002|LCDRH 003|LCDRH 004|LCDRP 007|LCDRA 004|LCDST"
        << QList<int>{} << true << QList<int>{12, 12, 0, 7} << false;
    // The refused entry is left out; the one after it is read in full.
    QTest::newRow("entry refused five times")
        << kZl + "fault kind=failcheck command=LCDRH index=1 times=5\n"
        << usb
        << "IDNM? 1|LCDH|LCDH?|LCDRA 001|LCDRH 001*5|LCDRH 002|LCDRP 012|LCDRT 005|LCDRA 002|"
           "LCDRH 003|LCDRH 004|LCDRP 007|LCDRA 004|LCDST"
        << QList<int>{} << true << QList<int>{12, 0, 7} << true;
    QTest::newRow("last entry refused five times")
        << kZl + "fault kind=failcheck command=LCDRH index=4 times=5\n"
        << usb
        << "IDNM? 1|LCDH|LCDH?|LCDRA 001|LCDRH 001|LCDRP 012|LCDRT 005|LCDRA 001|LCDRH 002|"
           "LCDRA 002|LCDRH 003|LCDRH 004*5|LCDST"
        << QList<int>{} << true << QList<int>{12, 12, 0} << true;
    QTest::newRow("wrong checksum: asked again after a second")
        << kZl + "fault kind=badchecksum command=LCDRT times=1\n"
        << usb
        << "IDNM? 1|LCDH|LCDH?|LCDRA 001|LCDRH 001|LCDRP 012|LCDRT 005*2|LCDRA 001|LCDRH 002|"
           "LCDRA 002|LCDRH 003|LCDRH 004|LCDRP 007|LCDRA 004|LCDST"
        << QList<int>{} << true << QList<int>{12, 12, 0, 7} << false;
    QTest::newRow("panel falls silent")
        << kZl + "fault silentfrom=3\n"
        << usb
        << "IDNM? 1|LCDH|LCDH?|LCDRA 001|LCDRH 001|LCDRP 012|LCDRT 005|"
           "LCDRA 001|LCDRH 002|LCDRA 002|LCDRH 003*5"
        << QList<int>{30020} << false << QList<int>{} << false;
    // An empty answer adds no row: nothing is copied or asked for it.
    QTest::newRow("empty answer to an entry")
        << kZl + "entry address=7 start=\"2026-03-07 01:00\"\nfault kind=empty command=LCDRH "
                 "index=5\n"
        << usb << zlAll.chopped(5) + "LCDRH 005|LCDST" << QList<int>{} << true
        << QList<int>{12, 12, 0, 7} << false;
    QTest::newRow("address table row answered with the one before")
        << kPv + "alarm ext=0 int=5 kind=01 text=\"\"\nfault kind=failcheck command=RQRAA index=2\n"
        << rs232 << "IDNM? 1|LCDH|RQRTS|RQNA?|RQRAA 001|RQRAA 002*5|LCDST" << QList<int>{30050}
        << false << QList<int>{} << true;
    QTest::newRow("garbage between frames")
        << kZl + "fault garbage=1\n"
        << usb << zlAll << QList<int>{} << true << QList<int>{12, 12, 0, 7} << false;
}

void TestReadout::sequence()
{
    QFETCH(QString, scenario);
    QFETCH(QString, connection);
    QFETCH(QString, requests);
    QFETCH(QList<int>, messages);
    QFETCH(bool, success);
    QFETCH(QList<int>, history);
    QFETCH(bool, readoutErrors);

    const PanelScenario s = scenarioOf(scenario);
    ReadoutRig rig(s, connection, QStringLiteral("9600"));
    QVERIFY2(rig.ready, qPrintable(rig.error));
    QVERIFY(rig.run(s.address));

    const QString address = QStringLiteral("%1").arg(s.address, 3, 10, QLatin1Char('0'));
    QCOMPARE(rig.requests(), expand(address, requests));
    QCOMPARE(rig.presenter.messages, messages);
    QCOMPARE(rig.presenter.succeeded, success);
    QCOMPARE(rig.presenter.closed, !success);
    QCOMPARE(rig.presenter.storeFailures, QStringList());
    QCOMPARE(rig.addresses(HistorySchema::HISTORY), history);
    QCOMPARE(rig.readout.gReadoutErrors, readoutErrors);
    QVERIFY(!rig.line.host().isOpen());
    if (success) {
        QCOMPARE(rig.presenter.statuses.last(), int(ReadoutEngine::kStatusDone));
        QCOMPARE(rig.presenter.progress, 100);
        QVERIFY(rig.presenter.mainEnabled);
    }
}

// Another station's answer while the panel is being read is not the panel's: the read-out
// goes on as if it had not come.
void TestReadout::otherStationIgnored()
{
    const PanelScenario s = scenarioOf(kZl + "timing turnaround=5\n");
    ReadoutRig rig(s, QStringLiteral("USB"), QStringLiteral("9600"));
    QVERIFY(rig.start(s.address));
    // Sent while the panel's answer to "LCDH?" is on its way.
    QVERIFY(rig.clock.runUntil([&] { return rig.requests().size() == 3; }, 60000));
    rig.line.device().write(FrameBytes(CompleteFrame(QStringLiteral("::018:n= 009"))));
    QVERIFY(rig.clock.runUntil([&] { return rig.presenter.over(); }, 600000));
    QCOMPARE(rig.requests().size(), 15);
    QCOMPARE(rig.addresses(HistorySchema::HISTORY), (QList<int>{12, 12, 0, 7}));
}

// Reading the same panel twice into one file: the events are brought up to date, not
// doubled.
void TestReadout::secondReadoutOverwrites()
{
    const PanelScenario s = scenarioOf(kZl);
    ReadoutRig rig(s, QStringLiteral("USB"), QStringLiteral("9600"));
    QVERIFY(rig.run(s.address));
    QVERIFY(rig.presenter.succeeded);

    rig.presenter.succeeded = false;
    rig.driver.reset();
    rig.sim = std::make_unique<PanelSimulator>(s);
    QVERIFY(rig.run(s.address));
    QVERIFY(rig.presenter.succeeded);
    QCOMPARE(rig.addresses(HistorySchema::HISTORY), (QList<int>{12, 12, 0, 7}));
    QCOMPARE(rig.addresses(HistorySchema::TEMP), (QList<int>{12, 12, 0, 7}));
}

void TestReadout::fileRefuses_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QList<int>>("messages");
    QTest::addColumn<QList<int>>("temp");

    // The fourth entry cannot be stored (it collides with the third): the panel is
    // released and nothing is merged.
    QTest::newRow("entry refused by the file")
        << "CREATE UNIQUE INDEX refuse ON TEMP (TableauAdresse) WHERE ParameterNummer IN (0, 7)"
        << QList<int>{30050} << QList<int>{12, 12, 0};
    // The merge fails as a whole: HISTORY stays as it was, TEMP keeps the read-out.
    QString refusing = HistorySchema::eventTable(QStringLiteral("HISTORY")).createSql();
    refusing.insert(refusing.size() - 1, QStringLiteral(", CHECK (0)"));
    QTest::newRow("merge refused by the file") << QStringLiteral("DROP TABLE HISTORY; ") + refusing
                                               << QList<int>{31100} << QList<int>{12, 12, 0, 7};
}

void TestReadout::fileRefuses()
{
    QFETCH(QString, fault);
    QFETCH(QList<int>, messages);
    QFETCH(QList<int>, temp);

    QString error;
    const PanelScenario s = scenarioOf(kZl);
    ReadoutRig rig(s, QStringLiteral("USB"), QStringLiteral("9600"));
    QVERIFY2(rig.ready, qPrintable(rig.error));
    QVERIFY2(rig.store.gDatabase->execute(fault, &error), qPrintable(error));
    QVERIFY(rig.run(s.address));
    QCOMPARE(rig.presenter.messages, messages);
    QVERIFY(rig.presenter.closed);
    QVERIFY(!rig.presenter.succeeded);
    QVERIFY(!rig.presenter.storeFailures.isEmpty());
    QCOMPARE(rig.engine->outcome(), ReadoutEngine::Outcome::StoreFailed);
    QCOMPARE(rig.requests().last(), QStringLiteral(":;017:LCDST"));
    QCOMPARE(rig.addresses(HistorySchema::HISTORY), QList<int>{});
    QCOMPARE(rig.addresses(HistorySchema::TEMP), temp);
}

QTEST_GUILESS_MAIN(TestReadout)
#include "tst_readout.moc"
