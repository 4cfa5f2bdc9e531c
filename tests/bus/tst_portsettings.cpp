// Which device a port number opens, and which line settings texts a port accepts.
#include "bus/LineSettings.h"
#include "bus/MemorySerialLine.h"
#include "bus/PortNames.h"
#include "bus/QtSerialPortAdapter.h"
#include "bus_helper.h"
#include "core/VirtualClock.h"

#include <QTest>

using namespace qvr;

class TestPortSettings : public QObject
{
    Q_OBJECT

private slots:
    void deviceForCom_data()
    {
        QTest::addColumn<QStringList>("settings"); // name=value in section Schnittstelle
        QTest::addColumn<int>("com");
        QTest::addColumn<QString>("device");
#ifdef Q_OS_WIN
        QTest::newRow("COM3") << QStringList{"Device3=/dev/ttyUSB0"} << 3 << "COM3";
#else
        QTest::newRow("COM1 without a device setting") << QStringList{} << 1 << "/dev/ttyS0";
        QTest::newRow("COM3 named by Device3")
            << QStringList{"Device3=/dev/ttyUSB0"} << 3 << "/dev/ttyUSB0";
        QTest::newRow("another port's device does not count")
            << QStringList{"Device3=/dev/ttyUSB0"} << 2 << "/dev/ttyS1";
        QTest::newRow("blank device setting") << QStringList{"Device2=   "} << 2 << "/dev/ttyS1";
        QTest::newRow("pseudo-terminal with blanks")
            << QStringList{"Device4= /dev/pts/7 "} << 4 << "/dev/pts/7";
#endif
    }
    void deviceForCom()
    {
        QFETCH(QStringList, settings);
        QFETCH(int, com);
        QFETCH(QString, device);
        LinkTestSettings store;
        for (const QString &s : settings)
            store.set(QStringLiteral("Schnittstelle"), s.section('=', 0, 0), s.section('=', 1));
        QCOMPARE(PortNames::deviceForCom(com, &store.store()), device);
        // The Qt port resolves the same way when it is given the number.
        QtSerialPortAdapter port(&store.store());
        port.setCommPort(com);
        QCOMPARE(port.device(), device);
    }

    void comNumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("number");
        QTest::newRow("COM3") << "COM3" << 3;
        QTest::newRow("lower case, blanks") << " com12 " << 12;
        QTest::newRow("a device path") << "/dev/ttyUSB0" << 0;
        QTest::newRow("no number") << "COM" << 0;
        QTest::newRow("trailing text") << "COM3x" << 0;
    }
    void comNumber()
    {
        QFETCH(QString, text);
        QFETCH(int, number);
        QCOMPARE(PortNames::comNumber(text), number);
    }

    // A settings text is taken whole or not at all, on both kinds of port.
    void lineSettings_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("taken"); // null: refused
        QTest::newRow("lower-case parity, blanks") << " 1200 , e , 8 , 2 "
                                                   << "1200,E,8,2";
        QTest::newRow("one and a half stop bits") << "300,N,5,1.5"
                                                  << "300,N,5,1.5";
        QTest::newRow("empty") << "" << QString();
        QTest::newRow("baud rate only") << "9600" << QString();
        QTest::newRow("letters for the baud rate") << "fast,E,7,1" << QString();
        QTest::newRow("zero baud") << "0,E,7,1" << QString();
        QTest::newRow("unknown parity") << "9600,X,7,1" << QString();
        QTest::newRow("nine data bits") << "9600,E,9,1" << QString();
        QTest::newRow("three stop bits") << "9600,E,7,3" << QString();
        QTest::newRow("one field too many") << "9600,E,7,1,1" << QString();
        QTest::newRow("huge number") << "99999999999999999999,E,7,1" << QString();
    }
    void lineSettings()
    {
        QFETCH(QString, text);
        QFETCH(QString, taken);
        VirtualClock clock;
        MemorySerialLine line(clock);
        QtSerialPortAdapter qtPort;
        for (SerialPort *port :
             {static_cast<SerialPort *>(&line.host()), static_cast<SerialPort *>(&qtPort)}) {
            QVERIFY(port->setSettings(QStringLiteral("4800,O,8,2")));
            QCOMPARE(port->setSettings(text), !taken.isEmpty());
            QCOMPARE(port->settings(), taken.isEmpty() ? QStringLiteral("4800,O,8,2") : taken);
            QCOMPARE(port->hasError(), taken.isEmpty());
        }
    }
};

QTEST_GUILESS_MAIN(TestPortSettings)
#include "tst_portsettings.moc"
