// The interface dialog: which ports it offers, the coupling of connection and baud rate,
// what OK stores, and the device assignment and port hints on Linux.
#include "bus/MemorySerialLine.h"
#include "bus/ui/BusConnection.h"
#include "bus/ui/Com_CFG.h"
#include "bus/ui/SerialDevices.h"
#include "core/SettingsStore.h"
#include "core/TextTable.h"
#include "core/VirtualClock.h"
#include "shell_helper.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QRadioButton>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_LINUX
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>
#endif

using namespace qvr;
using qvr::test::ScriptedAsker;

namespace {

// The dialog over the in-memory line with the given ports present.
struct Rig
{
    explicit Rig(const QSet<int> &ports, const QString &ini)
    {
        QFile f(dir.filePath("settings.ini"));
        if (!f.open(QIODevice::WriteOnly))
            qFatal("settings");
        f.write(ini.toUtf8());
        f.close();
        settings = std::make_unique<SettingsStore>(
            std::make_unique<IniSettingsBackend>(dir.filePath("settings.ini")));
        line.host().setAvailablePorts(ports);
        texts.gLanguageOffset = 1;
        bus = std::make_unique<BusConnection>(line.host(), clock, *settings, texts, asker);
        dialog = std::make_unique<Com_CFG>(*bus, texts, asker, nullptr);
    }
    QString stored(const QString &name) const
    {
        return settings->ReadSetting("Schnittstelle", name, "<absent>");
    }
    QComboBox *combo(const char *name) { return dialog->findChild<QComboBox *>(name); }

    QTemporaryDir dir;
    VirtualClock clock;
    MemorySerialLine line{clock};
    std::unique_ptr<SettingsStore> settings;
    Texts texts;
    ScriptedAsker asker;
    std::unique_ptr<BusConnection> bus;
    std::unique_ptr<Com_CFG> dialog;
};

QSet<int> portSet(const QList<int> &ports)
{
    return QSet<int>(ports.begin(), ports.end());
}

} // namespace

class TestComCfg : public QObject
{
    Q_OBJECT

private slots:
    void portList_data();
    void portList();
    void coupling_data();
    void coupling();
    void ok_data();
    void ok();
    void noPortOpens();
    void deviceAssignment();
    void deviceList();
    void busyDevice_data();
    void busyDevice();
};

void TestComCfg::portList_data()
{
    QTest::addColumn<QList<int>>("available");
    QTest::addColumn<QString>("ini");
    QTest::addColumn<QList<int>>("listed");
    QTest::addColumn<int>("selected");
    QTest::addColumn<QString>("connection");
    QTest::addColumn<QString>("baud");
    QTest::addColumn<QString>("dtr"); // "1", "2" or "" (neither option)

    QTest::newRow("COM1 and COM3, Com=3")
        << QList<int>{1, 3} << "[Schnittstelle]\nCom=3\nConnType=ext.\nBaud=19200\nDTR=1\n"
        << QList<int>{1, 3} << 3 << "ext."
        << "19200"
        << "1";
    QTest::newRow("Com=5 missing: first port, no connection, stored rate kept")
        << QList<int>{1, 3} << "[Schnittstelle]\nCom=5\nConnType=USB\nBaud=19200\n"
        << QList<int>{1, 3} << 1 << ""
        << "19200"
        << "2";
    QTest::newRow("nothing stored: COM2, int., 9600, inverted DTR")
        << QList<int>{2, 16} << "" << QList<int>{2, 16} << 2 << "int."
        << "9600"
        << "2";
    QTest::newRow("stored rate not in the list reads as 9600")
        << QList<int>{4} << "[Schnittstelle]\nCom=4\nConnType=xyz\nBaud=115200\nDTR=7\n"
        << QList<int>{4} << 4 << ""
        << "9600"
        << "";
    QTest::newRow("stored USB forces 57600 over a stored 9600")
        << QList<int>{7} << "[Schnittstelle]\nCom=7\nConnType=USB\nBaud=9600\n"
        << QList<int>{7} << 7 << "USB"
        << "57600"
        << "2";
}

void TestComCfg::portList()
{
    QFETCH(QList<int>, available);
    QFETCH(QString, ini);
    QFETCH(QList<int>, listed);
    QFETCH(int, selected);
    QFETCH(QString, connection);
    QFETCH(QString, baud);
    QFETCH(QString, dtr);

    Rig r(portSet(available), ini);
    QCOMPARE(r.dialog->listedPorts(), listed);
    QComboBox *ports = r.combo("cboComPorts");
    QVERIFY(ports->currentText().startsWith(QStringLiteral("COM%1").arg(selected)));
    // The number is what follows "COM", whatever is shown beside it.
    QCOMPARE(int(LeadingNumber(ports->currentText().mid(3))), selected);
    QCOMPARE(r.combo("cboVerbindung")->currentText(), connection);
    QCOMPARE(r.combo("Combo1(0)")->currentText(), baud);
    QCOMPARE(r.dialog->findChild<QRadioButton *>("Option1")->isChecked(), dtr == "1");
    QCOMPARE(r.dialog->findChild<QRadioButton *>("Option2")->isChecked(), dtr == "2");
    QVERIFY(!r.line.host().isOpen());
    QVERIFY(r.asker.calls.isEmpty());
}

void TestComCfg::coupling_data()
{
    QTest::addColumn<QString>("connection"); // "" leaves it unchosen
    QTest::addColumn<QString>("baud");
    QTest::addColumn<QString>("expected");

    QTest::newRow("USB then 19200") << "USB"
                                    << "19200"
                                    << "57600";
    QTest::newRow("ext. then 19200") << "ext."
                                     << "19200"
                                     << "19200";
    QTest::newRow("ext. then 9600") << "ext."
                                    << "9600"
                                    << "57600";
    QTest::newRow("ext. then 1200") << "ext."
                                    << "1200"
                                    << "1200";
    QTest::newRow("RS232 then 57600") << "RS232"
                                      << "57600"
                                      << "9600";
    QTest::newRow("int. then 38400") << "int."
                                     << "38400"
                                     << "9600";
    QTest::newRow("no connection then 4800") << ""
                                             << "4800"
                                             << "4800";
}

void TestComCfg::coupling()
{
    QFETCH(QString, connection);
    QFETCH(QString, baud);
    QFETCH(QString, expected);

    Rig r({1, 2}, "[Schnittstelle]\nCom=2\nConnType=RS232\n");
    QComboBox *conn = r.combo("cboVerbindung");
    QComboBox *rate = r.combo("Combo1(0)");
    // Choosing a port clears the connection; the user chooses it again.
    r.dialog->choosePort(0);
    QCOMPARE(conn->currentIndex(), -1);
    if (!connection.isEmpty())
        r.dialog->chooseConnection(conn->findText(connection));
    r.dialog->chooseBaud(rate->findText(baud));
    QCOMPARE(rate->currentText(), expected);
}

void TestComCfg::ok_data()
{
    QTest::addColumn<QString>("ini");
    QTest::addColumn<int>("failingOpens"); // opens that fail after loading
    QTest::addColumn<bool>("closed");
    QTest::addColumn<QStringList>("stored"); // Com, DTR, Baud, ConnType
    QTest::addColumn<QStringList>("messages");

    const QString portMessage = "The selected interface is not valid or has already been assigned!";
    QTest::newRow("all chosen: stored, closed")
        << "[Schnittstelle]\nCom=3\nConnType=ext.\nBaud=38400\nDTR=1\n"
        << 0 << true << QStringList{"3", "1", "38400", "ext."} << QStringList{};
    QTest::newRow("third open succeeds")
        << "[Schnittstelle]\nCom=3\nConnType=RS232\n"
        << 2 << true << QStringList{"3", "2", "9600", "RS232"} << QStringList{};
    QTest::newRow("port fails the test: nothing stored, stays")
        << "[Schnittstelle]\nCom=3\nConnType=USB\n"
        << 3 << false << QStringList{"3", "<absent>", "<absent>", "USB"}
        << QStringList{portMessage};
    QTest::newRow("stored port missing: all but the connection stored, stays")
        << "[Schnittstelle]\nCom=9\nConnType=USB\nBaud=19200\n"
        << 0 << false << QStringList{"1", "2", "19200", "USB"} << QStringList{};
}

void TestComCfg::ok()
{
    QFETCH(QString, ini);
    QFETCH(int, failingOpens);
    QFETCH(bool, closed);
    QFETCH(QStringList, stored);
    QFETCH(QStringList, messages);

    Rig r({1, 3}, ini);
    r.dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(r.dialog.get()));
    r.line.host().failNextOpens(failingOpens);
    r.dialog->okClicked();

    QCOMPARE(r.asker.messageTexts(), messages);
    QCOMPARE(r.dialog->isVisible(), !closed);
    QCOMPARE(r.dialog->result() == QDialog::Accepted, closed);
    QCOMPARE(
        (QStringList{r.stored("Com"), r.stored("DTR"), r.stored("Baud"), r.stored("ConnType")}),
        stored);
    QVERIFY2(!r.line.host().isOpen(), "the port test leaves the port closed");
}

void TestComCfg::noPortOpens()
{
    Rig r({42}, "[Schnittstelle]\nCom=3\nConnType=ext.\n");
    QVERIFY(r.dialog->noPorts());
    QCOMPARE(r.asker.messageTexts(), QStringList{QString::fromUtf8(Com_CFG::kNoPortsMessage)});
    r.asker.calls.clear();
    r.dialog->okClicked();
    QCOMPARE(r.stored("Com"), QString("3"));
    QCOMPARE(r.stored("ConnType"), QString("ext."));
#ifdef Q_OS_WIN
    r.dialog->show();
    QTRY_VERIFY(!r.dialog->isVisible());
#endif
}

void TestComCfg::deviceAssignment()
{
#ifndef Q_OS_LINUX
    QSKIP("devices are assigned to COM numbers on Linux only");
#else
    // A real pseudo-terminal behind COM7, through the real port.
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    QVERIFY(master >= 0);
    QVERIFY(::grantpt(master) == 0 && ::unlockpt(master) == 0);
    const QString pts = QString::fromLocal8Bit(::ptsname(master));

    QTemporaryDir dir;
    SettingsStore settings(std::make_unique<IniSettingsBackend>(dir.filePath("s.ini")));
    settings.WriteSetting("Schnittstelle", "Device7", "/nonexistent/tty");
    settings.WriteSetting("Schnittstelle", "Com", "7");
    Texts texts;
    ScriptedAsker asker;
    BusConnection bus(settings, texts, asker);
    Com_CFG dialog(bus, texts, asker, nullptr);
    QVERIFY(!dialog.listedPorts().contains(7));

    dialog.assignDevice(7, pts);
    QVERIFY(dialog.listedPorts().contains(7));
    QComboBox *ports = dialog.findChild<QComboBox *>("cboComPorts");
    QVERIFY2(ports->currentText().startsWith("COM7") && ports->currentText().contains(pts),
             qPrintable(ports->currentText()));
    // Stored with the rest on OK, not before: Cancel leaves the settings as they were.
    QCOMPARE(settings.ReadSetting("Schnittstelle", "Device7", ""), QString("/nonexistent/tty"));
    dialog.okClicked();
    QCOMPARE(settings.ReadSetting("Schnittstelle", "Device7", ""), pts);

    // A device that does not open: the message, and the port is not offered.
    asker.calls.clear();
    dialog.assignDevice(7, "/nonexistent/tty");
    QVERIFY(!dialog.listedPorts().contains(7));
    QCOMPARE(asker.messageTexts().value(0), texts.ResText(Com_CFG::kMsgPortUnavailable));
    ::close(master);
#endif
}

void TestComCfg::deviceList()
{
#ifndef Q_OS_LINUX
    QSKIP("Linux device names");
#else
    QTemporaryDir dev;
    QVERIFY(QDir(dev.path()).mkpath("serial/by-id"));
    for (const char *n : {"ttyS1", "ttyUSB10", "ttyUSB2", "ttyACM0", "ttyS0", "tty0", "null",
                          "serial/by-id/usb-FTDI_FT232R-if00-port0"}) {
        QFile f(dev.filePath(n));
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    QStringList names;
    for (const QString &p : SerialDevices::list(dev.path()))
        names << QDir(dev.path()).relativeFilePath(p);
    QCOMPARE(names, (QStringList{"ttyUSB2", "ttyUSB10", "ttyACM0", "ttyS0", "ttyS1",
                                 "serial/by-id/usb-FTDI_FT232R-if00-port0"}));
#endif
}

void TestComCfg::busyDevice_data()
{
    QTest::addColumn<QString>("lock"); // content of the lock file; "-" for none
    QTest::addColumn<int>("hint");

    QTest::newRow("no lock file") << "-" << 0;
    QTest::newRow("lock of a live program") << "parent" << int(SerialDevices::kHintBusy);
    QTest::newRow("stale lock of a dead program") << "dead" << 0;
}

void TestComCfg::busyDevice()
{
#ifndef Q_OS_LINUX
    QSKIP("lock files are a Unix convention");
#else
    QFETCH(QString, lock);
    QFETCH(int, hint);

    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    QVERIFY(master >= 0);
    QVERIFY(::grantpt(master) == 0 && ::unlockpt(master) == 0);
    const QString pts = QString::fromLocal8Bit(::ptsname(master));
    QTemporaryDir locks;
    if (lock != "-") {
        QFile f(QDir(locks.path()).filePath("LCK.." + QFileInfo(pts).fileName()));
        QVERIFY(f.open(QIODevice::WriteOnly));
        // A pid far beyond the kernel's limit belongs to nobody.
        const qint64 pid = lock == "parent" ? qint64(::getppid()) : qint64(99999999);
        f.write(QByteArray::number(pid).rightJustified(10, ' ') + '\n');
    }
    QCOMPARE(SerialDevices::hintText(SerialDevices::diagnose(pts, {locks.path()})), hint);
    ::close(master);
#endif
}

QTEST_MAIN(TestComCfg)
#include "tst_comcfg.moc"
