// The in-memory line the read-out tests run on: characters take their time on the wire,
// mismatched line settings garble, closing loses what is still in flight, notifications
// come from the clock.
#include "bus/Frame.h"
#include "bus/MemorySerialLine.h"
#include "core/VirtualClock.h"

#include <QTest>

using namespace qvr;

class TestMemoryLine : public QObject
{
    Q_OBJECT

private slots:
    void charactersTakeTheirTime_data()
    {
        QTest::addColumn<bool>("timing");
        QTest::addColumn<QString>("settings");
        QTest::addColumn<int>("chars");
        QTest::addColumn<int>("lastArrivesMs");
        // 10 bits per character: 96 characters at 9600 baud take exactly 100 ms.
        QTest::newRow("9600 baud") << true << "9600,E,7,1" << 96 << 100;
        QTest::newRow("57600 baud") << true << "57600,E,7,1" << 96 << 17;
        QTest::newRow("one character at 1200 baud") << true << "1200,E,7,1" << 1 << 9;
        QTest::newRow("no line timing") << false << "9600,E,7,1" << 96 << 0;
    }
    void charactersTakeTheirTime()
    {
        QFETCH(bool, timing);
        QFETCH(QString, settings);
        QFETCH(int, chars);
        QFETCH(int, lastArrivesMs);
        VirtualClock clock;
        MemorySerialLine line(clock);
        line.setLineTiming(timing);
        for (auto *end : {&line.host(), &line.device()}) {
            QVERIFY(end->setSettings(settings));
            QVERIFY(end->open());
        }
        QVERIFY(line.host().write(QByteArray(chars, 'x')));
        QCOMPARE(line.host().bytesToWrite(), chars);
        QCOMPARE(line.device().bytesAvailable(), 0); // never inside the write call
        if (lastArrivesMs > 0) {
            clock.advance(lastArrivesMs - 1);
            QVERIFY(line.device().bytesAvailable() < chars);
            QVERIFY(line.host().bytesToWrite() > 0);
        }
        clock.advance(lastArrivesMs - clock.nowMs());
        QCOMPARE(line.device().bytesAvailable(), chars);
        QCOMPARE(line.host().bytesToWrite(), 0);
    }

    // A receiver at another baud rate gets garbage of the same length, never a frame.
    void mismatchedSettingsGarble()
    {
        VirtualClock clock;
        MemorySerialLine line(clock);
        line.host().setSettings(QStringLiteral("9600,E,7,1"));
        line.device().setSettings(QStringLiteral("57600,E,7,1"));
        QVERIFY(line.host().open());
        QVERIFY(line.device().open());
        const QByteArray f = FrameBytes(CompleteFrame(QStringLiteral(":;001:IDNM? 1")));
        line.host().write(f);
        clock.advance(1);
        QCOMPARE(line.device().bytesAvailable(), int(f.size()));
        RxParser parser;
        int got = 0;
        while (line.device().bytesAvailable() > 0) {
            parser.ParseRxChar(static_cast<unsigned char>(line.device().readChar()));
            got += parser.gRxFrameComplete;
        }
        QCOMPARE(got, 0);
    }

    void closingLosesWhatIsInFlight()
    {
        VirtualClock clock;
        MemorySerialLine line(clock);
        line.setLineTiming(true);
        QVERIFY(line.host().open());
        QVERIFY(line.device().open());
        line.host().write(QByteArray(96, 'x')); // 100 ms at 9600 baud
        clock.advance(50);
        line.host().close();
        const int arrived = line.device().bytesAvailable();
        QVERIFY(arrived > 0 && arrived < 96);
        clock.advance(200);
        QCOMPARE(line.device().bytesAvailable(), arrived);
        QVERIFY(!line.host().write("x"));
        QVERIFY(line.host().hasError());
    }

    // Receive notifications follow the threshold; characters left waiting get another
    // notification only while the handler takes some.
    void receiveNotifications_data()
    {
        QTest::addColumn<int>("threshold");
        QTest::addColumn<int>("readPerCall");
        QTest::addColumn<int>("calls");
        QTest::newRow("threshold 0: none") << 0 << 1 << 0;
        QTest::newRow("reads everything") << 1 << 100 << 1;
        QTest::newRow("two characters a call") << 1 << 2 << 5;
        QTest::newRow("reads nothing") << 1 << 0 << 1;
    }
    void receiveNotifications()
    {
        QFETCH(int, threshold);
        QFETCH(int, readPerCall);
        QFETCH(int, calls);
        VirtualClock clock;
        MemorySerialLine line(clock);
        QVERIFY(line.host().open());
        QVERIFY(line.device().open());
        int seen = 0;
        line.host().setNotify([&] {
            QCOMPARE(line.host().commEvent(), SerialPort::EventReceive);
            ++seen;
            for (int i = 0; i < readPerCall; ++i)
                line.host().readChar();
        });
        line.host().setReceiveThreshold(threshold);
        line.device().write("0123456789");
        clock.advance(10);
        QCOMPARE(seen, calls);
    }

    void injectedErrorIsAnEvent()
    {
        VirtualClock clock;
        MemorySerialLine line(clock);
        QVERIFY(line.host().open());
        QList<SerialPort::Event> events;
        line.host().setNotify([&] { events << line.host().commEvent(); });
        line.host().injectError(QStringLiteral("overrun"));
        QVERIFY(events.isEmpty());
        clock.advance(0);
        QCOMPARE(events, QList<SerialPort::Event>{SerialPort::EventError});
        QCOMPARE(line.host().errorString(), QStringLiteral("overrun"));
    }
};

QTEST_GUILESS_MAIN(TestMemoryLine)
#include "tst_memoryline.moc"
