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

#include <QTemporaryDir>
#include <QTest>

using namespace qvr;
using Layout = PanelScenario::Layout;

class TestPanelSimDecode : public QObject
{
    Q_OBJECT

private slots:
    void programAcceptsEveryAnswer_data();
    void programAcceptsEveryAnswer();
};

void TestPanelSimDecode::programAcceptsEveryAnswer_data()
{
    QTest::addColumn<Layout>("layout");
    QTest::addColumn<int>("count");
    QTest::newRow("ZL") << Layout::ZL << 200;
    QTest::newRow("PV") << Layout::PV << 200;
    QTest::newRow("RQ") << Layout::RQ << 200;
}

// The program's own decoders take a generated history without a single rejection and
// store one row per entry with what the panel sent, so read-outs against the simulated
// panel exercise the decoders rather than their error paths.
void TestPanelSimDecode::programAcceptsEveryAnswer()
{
    QFETCH(Layout, layout);
    QFETCH(int, count);
    const PanelScenario s = PanelScenario::generate(layout, count, 31, 9);
    PanelSimulator sim(s);
    qint64 now = 0;
    sim.start(now);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    StoreState store;
    ReadoutState readout;
    StandardTexts standardTexts;
    standardTexts.setAppPath(dir.path());
    Texts texts;
    DecodeContext ctx{readout, store, standardTexts, texts, {}, {}};
    QString error;
    QVERIFY2(HistorySchema::CreateHistoryDatabase(store, dir.filePath(QStringLiteral("t.his")),
                                                  &error),
             qPrintable(error));
    QVERIFY2(HistorySchema::OpenTable(store, QStringLiteral("TEMP"), &error), qPrintable(error));
    readout.gDeviceClass = PanelScenario::layoutName(layout);
    readout.gDeviceModel = s.model;
    readout.gDeviceAddress = 9;
    readout.gReadAnalog = layout == Layout::ZL;
    readout.gAnalogProbe = false;

    RxParser parser;
    // Sends a request, takes the answer off the line and hands it to the dispatcher
    // exactly as the read-out does; returns the answer's parameters.
    auto request = [&](const QString &command, bool *ok) -> QString {
        const QString frame = QStringLiteral(":;009:") + command;
        sim.receive(FrameBytes(CompleteFrame(frame)), now);
        now += 5000;
        const QByteArray out = sim.takeOutput(now);
        for (char c : out) {
            parser.ParseRxChar(static_cast<unsigned char>(c));
            if (parser.gRxFrameComplete == 1)
                break;
        }
        *ok = parser.gRxFrameComplete == 1;
        if (!*ok)
            return QString();
        const QString command5 = parser.gRxCommand;
        const QString param = parser.gRxParam;
        parser.reset();
        bool rejected = false, finished = false;
        const QString last = LastCommandOf(CompleteFrame(frame));
        *ok = DispatchAnswer(ctx, last, command5, param, rejected, finished) && !rejected;
        if (!*ok)
            qWarning("%s refused: \"%s\" %s", qPrintable(frame), qPrintable(param),
                     qPrintable(ctx.engineError));
        return param;
    };
    auto n3 = [](int v) { return PanelAnswers::num(v, 3); };

    bool ok = false;
    if (layout != Layout::ZL) {
        request(QStringLiteral("RQRTS"), &ok);
        QVERIFY(ok);
        request(QStringLiteral("RQNA?"), &ok);
        QVERIFY(ok);
        QCOMPARE(int(readout.gNaCount), int(s.alarmTable.size()));
        for (int r = 1; r <= readout.gNaCount; ++r) {
            request(QStringLiteral("RQRAA ") + n3(r), &ok);
            QVERIFY(ok);
        }
    }
    request(QStringLiteral("LCDH?"), &ok);
    QVERIFY(ok);
    QCOMPARE(int(readout.gHistoryCount), count);

    int withAnalog = 0;
    for (int i = 1; i <= count; ++i) {
        readout.gHistoryIndex = qint16(i);
        const QString h = request(QStringLiteral("LCDRH ") + n3(i), &ok);
        QVERIFY2(ok, qPrintable(QStringLiteral("entry %1").arg(i)));
        const bool flagged = layout == Layout::ZL ? h.mid(4, 3) != QLatin1String("000")
                                                  : h.mid(4, 1) == QLatin1String("1");
        bool wantAnalog = layout == Layout::ZL;
        if (flagged) {
            bool reused = false;
            QVERIFY(ReuseProgrammingRecord(ctx, h, reused));
            if (!reused) {
                const QString alarm = layout == Layout::ZL ? h.mid(4, 3) : h.mid(7, 3);
                const QString p = request(QStringLiteral("LCDRP ") + alarm, &ok);
                QVERIFY2(ok, qPrintable(QStringLiteral("programming record %1").arg(alarm)));
                if (readout.gTextNumber > 0) {
                    request(QStringLiteral("LCDRT ") + p.mid(4, 3), &ok);
                    QVERIFY2(ok, qPrintable(QStringLiteral("text %1").arg(p.mid(4, 3))));
                }
            }
        } else {
            wantAnalog = false; // the program goes straight on to the next entry
        }
        if (wantAnalog) {
            request(QStringLiteral("LCDRA ") + n3(i), &ok);
            QVERIFY2(ok, qPrintable(QStringLiteral("analogue values %1").arg(i)));
            const QString low = store.gTempRecordset->field(QStringLiteral("AnalogWertMin"))
                                    .toString();
            withAnalog += !low.isEmpty();
        }
    }
    std::unique_ptr<Recordset> rows =
        store.gDatabase->openRecordset(QStringLiteral("Select * From TEMP"), &error);
    QVERIFY2(rows, qPrintable(error));
    QCOMPARE(rows->recordCount(), count);
    if (layout == Layout::ZL)
        QVERIFY(withAnalog > 0);
}

QTEST_GUILESS_MAIN(TestPanelSimDecode)
#include "tst_panelsim_decode.moc"
