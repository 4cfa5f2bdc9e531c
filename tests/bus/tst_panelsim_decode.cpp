#include "PanelAnswers.h"
#include "PanelScenario.h"
#include "PanelSimulator.h"
#include "bus/Frame.h"
#include "bus/RxParser.h"
#include "core/TextTable.h"
#include "decode/AnswerDispatch.h"
#include "decode/DecodeContext.h"
#include "decode/ProgrammingRecord.h"
#include "decode/ReadoutState.h"
#include "store/Database.h"
#include "store/HistorySchema.h"
#include "store/Recordset.h"
#include "store/StandardTexts.h"
#include "store/StoreState.h"

#include <QSet>
#include <QTemporaryDir>
#include <QTest>

using namespace qvr;
using Layout = PanelScenario::Layout;

namespace {

// A fresh history file with TEMP open and the read-out state of one panel: what the
// program's decoders work on during a read-out. Requests go to the simulator and each
// answer goes to DispatchAnswer exactly as the read-out hands it over.
class Bench
{
public:
    explicit Bench(const PanelScenario &s) : sim(s), ctx{readout, store, standardTexts, texts, {}, {}}
    {
        sim.start(0);
        standardTexts.setAppPath(dir.path());
        ready = dir.isValid()
                && HistorySchema::CreateHistoryDatabase(store, dir.filePath(QStringLiteral("t.his")),
                                                        &error)
                && HistorySchema::OpenTable(store, QStringLiteral("TEMP"), &error);
        readout.gDeviceClass = PanelScenario::layoutName(s.layout);
        readout.gDeviceModel = s.model;
        readout.gDeviceAddress = qint16(s.address);
        readout.gReadAnalog = s.layout == Layout::ZL;
        readout.gAnalogProbe = false;
    }

    struct Result {
        bool answered = false;
        bool rejected = false;
        QString param;
    };

    Result request(const QString &command)
    {
        const QString frame = QStringLiteral(":;%1:").arg(readout.gDeviceAddress, 3, 10,
                                                          QLatin1Char('0'))
                              + command;
        sim.receive(FrameBytes(CompleteFrame(frame)), now);
        now += 5000;
        RxParser parser;
        for (char c : sim.takeOutput(now)) {
            parser.ParseRxChar(static_cast<unsigned char>(c));
            if (parser.gRxFrameComplete == 1)
                break;
        }
        Result r;
        r.answered = parser.gRxFrameComplete == 1;
        if (!r.answered)
            return r;
        r.param = parser.gRxParam;
        bool finished = false;
        if (!DispatchAnswer(ctx, LastCommandOf(CompleteFrame(frame)), parser.gRxCommand,
                            parser.gRxParam, r.rejected, finished))
            r.rejected = true;
        return r;
    }

    // Every row of TEMP, field by field.
    QList<QVariantMap> rows(const QStringList &fields)
    {
        QList<QVariantMap> out;
        std::unique_ptr<Recordset> rs =
            store.gDatabase->openRecordset(QStringLiteral("Select * From TEMP"), &error);
        if (!rs || rs->recordCount() == 0 || !rs->moveFirst())
            return out;
        while (!rs->eof()) {
            QVariantMap row;
            for (const QString &f : fields)
                row.insert(f, rs->field(f));
            out << row;
            rs->moveNext();
        }
        return out;
    }

    PanelSimulator sim;
    qint64 now = 0;
    QTemporaryDir dir;
    StoreState store;
    ReadoutState readout;
    StandardTexts standardTexts;
    Texts texts;
    DecodeContext ctx;
    QString error;
    bool ready = false;
};

QString n3(int v)
{
    return PanelAnswers::num(v, 3);
}

} // namespace

class TestPanelSimDecode : public QObject
{
    Q_OBJECT

private slots:
    void programAcceptsWholeHistory_data();
    void programAcceptsWholeHistory();
    void failingAnswersAreRefused_data();
    void failingAnswersAreRefused();
};

void TestPanelSimDecode::programAcceptsWholeHistory_data()
{
    QTest::addColumn<Layout>("layout");
    QTest::addColumn<int>("count");
    QTest::addColumn<quint32>("seed");
    QTest::newRow("ZL 650") << Layout::ZL << 650 << 31u;
    QTest::newRow("ZL 80") << Layout::ZL << 80 << 7u;
    QTest::newRow("PV 400") << Layout::PV << 400 << 31u;
    QTest::newRow("RQ 250") << Layout::RQ << 250 << 31u;
}

// The program's own decoders take a whole generated history, in the program's request
// order, without a single rejection, one row per entry; and the history holds every
// kind of content a technician meets, so read-outs against the simulated panel reach
// every decoder path.
void TestPanelSimDecode::programAcceptsWholeHistory()
{
    QFETCH(Layout, layout);
    QFETCH(int, count);
    QFETCH(quint32, seed);
    Bench b(PanelScenario::generate(layout, count, seed, 9));
    QVERIFY2(b.ready, qPrintable(b.error));

    if (layout != Layout::ZL) {
        QVERIFY(!b.request(QStringLiteral("RQRTS")).rejected);
        QVERIFY(!b.request(QStringLiteral("RQNA?")).rejected);
        QVERIFY(b.readout.gNaCount > 0);
        for (int r = 1; r <= b.readout.gNaCount; ++r)
            QVERIFY(!b.request(QStringLiteral("RQRAA ") + n3(r)).rejected);
    }
    QVERIFY(!b.request(QStringLiteral("LCDH?")).rejected);
    QCOMPARE(int(b.readout.gHistoryCount), count);

    QSet<QString> kinds;
    int reused = 0, withText = 0, withoutText = 0;
    for (int i = 1; i <= count; ++i) {
        b.readout.gHistoryIndex = qint16(i);
        const Bench::Result h = b.request(QStringLiteral("LCDRH ") + n3(i));
        QVERIFY2(h.answered && !h.rejected,
                 qPrintable(QStringLiteral("entry %1: \"%2\" %3").arg(i).arg(h.param, b.ctx.engineError)));
        const bool flagged = layout == Layout::ZL ? h.param.mid(4, 3) != QLatin1String("000")
                                                  : h.param.mid(4, 1) == QLatin1String("1");
        if (!flagged)
            continue; // the program goes straight on to the next entry
        bool again = false;
        QVERIFY(ReuseProgrammingRecord(b.ctx, h.param, again));
        reused += again;
        if (!again) {
            const QString alarm = layout == Layout::ZL ? h.param.mid(4, 3) : h.param.mid(7, 3);
            const Bench::Result p = b.request(QStringLiteral("LCDRP ") + alarm);
            QVERIFY2(!p.rejected, qPrintable(QStringLiteral("programming record \"%1\"").arg(p.param)));
            kinds.insert(p.param.mid(12, 1));
            if (b.readout.gTextNumber > 0) {
                ++withText;
                QVERIFY(!b.request(QStringLiteral("LCDRT ") + p.param.mid(4, 3)).rejected);
            } else {
                ++withoutText;
            }
        }
        if (layout == Layout::ZL)
            QVERIFY(!b.request(QStringLiteral("LCDRA ") + n3(i)).rejected);
    }

    const QList<QVariantMap> rows =
        b.rows({"ParameterNummer", "Quittiert_JN", "Stop_JN", "AnalogWertMin", "Text1",
                "Text4"});
    QCOMPARE(rows.size(), count);
    int acknowledged = 0, stopped = 0, deviceEvents = 0, standardTexts = 0, analog = 0,
        faultCodes = 0, texts = 0;
    for (const QVariantMap &r : rows) {
        acknowledged += r.value("Quittiert_JN").toInt() != 0;
        stopped += r.value("Stop_JN").toInt() != 0;
        deviceEvents += r.value("Text1").toString() == b.texts.ResText(31000);
        standardTexts += r.value("ParameterNummer").toInt() > 1000;
        analog += r.value("AnalogWertMin").toString().contains(QLatin1String("= "));
        faultCodes += r.value("Text4").toString().endsWith(QLatin1String("Error)"));
        texts += !r.value("Text1").toString().trimmed().isEmpty();
    }
    QCOMPARE(kinds, (QSet<QString>{"1", "2", "3", "4", "5"}));
    QVERIFY(reused > 0);
    QVERIFY(withText > 0 && withoutText > 0 && texts > 0);
    QVERIFY(acknowledged > 0 && acknowledged < count);
    QVERIFY(stopped > 0 && stopped < count);
    QVERIFY(deviceEvents > 0);
    // RQ writes its limits even when the panel sent none; ZL and PV leave such rows out.
    QVERIFY(analog > 0 && (layout == Layout::RQ || analog < count));
    if (layout != Layout::ZL)
        QVERIFY(standardTexts > 0);
    if (layout == Layout::PV)
        QVERIFY(faultCodes > 0);
}

void TestPanelSimDecode::failingAnswersAreRefused_data()
{
    QTest::addColumn<Layout>("layout");
    QTest::addColumn<QString>("command");
    QTest::newRow("ZL history") << Layout::ZL << "LCDRH";
    QTest::newRow("PV history") << Layout::PV << "LCDRH";
    QTest::newRow("RQ history") << Layout::RQ << "LCDRH";
    QTest::newRow("ZL programming record") << Layout::ZL << "LCDRP";
    QTest::newRow("PV programming record") << Layout::PV << "LCDRP";
    QTest::newRow("RQ programming record") << Layout::RQ << "LCDRP";
    QTest::newRow("ZL text") << Layout::ZL << "LCDRT";
    QTest::newRow("PV text") << Layout::PV << "LCDRT";
    QTest::newRow("ZL analogue values") << Layout::ZL << "LCDRA";
    QTest::newRow("ZL entry count") << Layout::ZL << "LCDH?";
    QTest::newRow("RQ entry count") << Layout::RQ << "LCDH?";
    QTest::newRow("RQ text language") << Layout::RQ << "RQRTS";
}

// A check fault makes the program refuse the given number of answers; the answer after
// them is sound again, so the program's retries can succeed.
void TestPanelSimDecode::failingAnswersAreRefused()
{
    QFETCH(Layout, layout);
    QFETCH(QString, command);
    PanelScenario s = PanelScenario::generate(layout, 30, 8, 4);
    int number = 3;
    if (command == QLatin1String("LCDRP"))
        number = s.programs.firstKey();
    if (command == QLatin1String("LCDRT"))
        s.texts.insert(number, {QStringLiteral("Pumpe"), {}, {}, {}, {}, {}});
    if (command == QLatin1String("LCDH?") || command == QLatin1String("RQRTS"))
        number = -1;
    s.faults.rules << PanelScenario::FaultRule{PanelScenario::FaultRule::Kind::FailCheck,
                                               command, number, 2};
    Bench b(s);
    QVERIFY2(b.ready, qPrintable(b.error));
    QVERIFY(!b.request(QStringLiteral("LCDRH 001")).rejected); // a row to complete
    b.readout.gHistoryIndex = qint16(number);
    b.readout.gTextNumber = qint16(number);
    const QString req = number < 0 ? command : command + QLatin1Char(' ') + n3(number);
    for (int attempt = 1; attempt <= 3; ++attempt) {
        const Bench::Result r = b.request(req);
        QVERIFY(r.answered);
        QCOMPARE(r.rejected, attempt <= 2);
    }
}

QTEST_GUILESS_MAIN(TestPanelSimDecode)
#include "tst_panelsim_decode.moc"
