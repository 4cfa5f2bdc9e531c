// The interface dialog: which ports it offers, the coupling of connection and baud rate,
// what OK and Cancel store, and the device assignment and port hints on Linux.
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
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#ifdef Q_OS_LINUX
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>
#endif

using namespace qvr;
using qvr::test::FakeAsker;

namespace {

// The dialog over the in-memory line with ports `ports` present and the settings `ini`.
struct Rig
{
    Rig(const QList<int> &ports, const QString &ini)
    {
        QFile f(dir.filePath("s.ini"));
        if (!f.open(QIODevice::WriteOnly) || f.write(ini.toUtf8()) < 0)
            qFatal("settings");
        f.close();
        settings = std::make_unique<SettingsStore>(
            std::make_unique<IniSettingsBackend>(dir.filePath("s.ini")));
        line.host().setAvailablePorts(QSet<int>(ports.begin(), ports.end()));
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
    std::unique_ptr<SettingsStore> settings;
    VirtualClock clock;
    MemorySerialLine line{clock};
    Texts texts;
    FakeAsker asker;
    std::unique_ptr<BusConnection> bus;
    std::unique_ptr<Com_CFG> dialog;
};

#ifdef Q_OS_LINUX
// A pseudo-terminal's device name; the master end stays open while the object lives.
struct Pty
{
    Pty() : fd(::posix_openpt(O_RDWR | O_NOCTTY))
    {
        if (fd < 0 || ::grantpt(fd) != 0 || ::unlockpt(fd) != 0)
            qFatal("no pseudo-terminal");
        name = QString::fromLocal8Bit(::ptsname(fd));
    }
    ~Pty() { ::close(fd); }
    int fd;
    QString name;
};
#endif

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
    void busyDevice();
};

void TestComCfg::portList_data()
{
    QTest::addColumn<QList<int>>("available");
    QTest::addColumn<QString>("ini");
    QTest::addColumn<QStringList>("shown"); // port, connection, baud, DTR option ("" neither)
    auto row = [](const char *name, const QList<int> &ports, const QString &ini,
                  const QStringList &shown) { QTest::newRow(name) << ports << ini << shown; };
    const QString s = "[Schnittstelle]\n";
    row("COM3 stored", {1, 3}, s + "Com=3\nConnType=ext.\nBaud=19200\nDTR=1\n",
        {"COM3", "ext.", "19200", "1"});
    row("stored port missing: first port, no connection", {1, 3},
        s + "Com=5\nConnType=USB\nBaud=19200\n", {"COM1", "", "19200", "2"});
    row("nothing stored: COM2, int., 9600", {2, 16}, "", {"COM2", "int.", "9600", "2"});
    row("unknown rate reads as 9600", {4}, s + "Com=4\nConnType=xyz\nBaud=115200\nDTR=7\n",
        {"COM4", "", "9600", ""});
    row("USB forces 57600", {7}, s + "Com=7\nConnType=USB\n", {"COM7", "USB", "57600", "2"});
}

void TestComCfg::portList()
{
    QFETCH(QList<int>, available);
    QFETCH(QString, ini);
    QFETCH(QStringList, shown);

    Rig r(available, ini);
    QCOMPARE(r.dialog->listedPorts(), available);
    const bool dtr1 = r.dialog->findChild<QRadioButton *>("Option1")->isChecked();
    const bool dtr2 = r.dialog->findChild<QRadioButton *>("Option2")->isChecked();
    QCOMPARE(
        (QStringList{r.combo("cboComPorts")->currentText().left(4),
                     r.combo("cboVerbindung")->currentText(), r.combo("Combo1(0)")->currentText(),
                     dtr1   ? "1"
                     : dtr2 ? "2"
                            : ""}),
        shown);
    QVERIFY(!r.line.host().isOpen());
    QVERIFY(r.asker.calls.isEmpty());
}

void TestComCfg::coupling_data()
{
    QTest::addColumn<QStringList>("row"); // connection ("" unchosen), rate chosen, rate shown
    for (const QStringList &r : {QStringList{"USB", "19200", "57600"},
                                 {"ext.", "19200", "19200"},
                                 {"ext.", "9600", "57600"},
                                 {"RS232", "57600", "9600"},
                                 {"int.", "38400", "9600"},
                                 {"", "4800", "4800"}})
        QTest::newRow(qPrintable(r.join(' '))) << r;
}

void TestComCfg::coupling()
{
    QFETCH(QStringList, row);
    Rig r({1, 2}, "[Schnittstelle]\nCom=2\nConnType=RS232\n");
    QComboBox *conn = r.combo("cboVerbindung");
    // Choosing a port clears the connection; the user chooses it again.
    r.dialog->choosePort(0);
    QCOMPARE(conn->currentIndex(), -1);
    if (!row[0].isEmpty())
        r.dialog->chooseConnection(conn->findText(row[0]));
    r.dialog->chooseBaud(r.combo("Combo1(0)")->findText(row[1]));
    QCOMPARE(r.combo("Combo1(0)")->currentText(), row[2]);
}

void TestComCfg::ok_data()
{
    QTest::addColumn<QString>("ini");
    QTest::addColumn<int>("failingOpens"); // opens that fail after loading; -1: Cancel pressed
    QTest::addColumn<bool>("closed");
    QTest::addColumn<QStringList>("stored"); // Com, DTR, Baud, ConnType
    QTest::addColumn<QStringList>("messages");
    auto row = [](const char *name, const QString &ini, int failingOpens, bool closed,
                  const QStringList &stored, const QStringList &messages = {}) {
        QTest::newRow(name) << "[Schnittstelle]\n" + ini << failingOpens << closed << stored
                            << messages;
    };
    const QString none = "<absent>";
    row("all chosen: stored, closed", "Com=3\nConnType=ext.\nBaud=38400\nDTR=1\n", 0, true,
        {"3", "1", "38400", "ext."});
    row("Cancel stores nothing", "Com=9\n", -1, true, {"9", none, none, none});
    row("third open succeeds", "Com=3\nConnType=RS232\n", 2, true, {"3", "2", "9600", "RS232"});
    row("port fails the test: nothing stored, stays", "Com=3\nConnType=USB\n", 3, false,
        {"3", none, none, "USB"},
        {"The selected interface is not valid or has already been assigned!"});
    row("stored port missing: all but the connection stored, stays",
        "Com=9\nConnType=USB\nBaud=19200\n", 0, false, {"1", "2", "19200", "USB"});
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
    if (failingOpens < 0) {
        r.dialog->findChild<QPushButton *>("Command1(1)")->click();
    } else {
        r.line.host().failNextOpens(failingOpens);
        r.dialog->okClicked();
        QCOMPARE(r.dialog->result() == QDialog::Accepted, closed);
    }
    QCOMPARE(r.asker.messageTexts(), messages);
    QCOMPARE(r.dialog->isVisible(), !closed);
    QCOMPARE(
        (QStringList{r.stored("Com"), r.stored("DTR"), r.stored("Baud"), r.stored("ConnType")}),
        stored);
    QVERIFY2(!r.line.host().isOpen(), "the port test leaves the port closed");
}

void TestComCfg::busyDevice()
{
#ifndef Q_OS_LINUX
    QSKIP("lock files are a Unix convention");
#else
    // The lock of a live program, and a stale one of a dead program.
    for (auto [live, hint] :
         {std::pair{true, int(SerialDevices::kHintBusy)}, std::pair{false, 0}}) {
        Pty pty;
        QTemporaryDir locks;
        QFile f(QDir(locks.path()).filePath("LCK.." + QFileInfo(pty.name).fileName()));
        QVERIFY(f.open(QIODevice::WriteOnly));
        // A pid far beyond the kernel's limit belongs to nobody.
        f.write(QByteArray::number(live ? qint64(::getppid()) : 99999999).rightJustified(10, ' '));
        f.close();
        QCOMPARE(SerialDevices::hintText(SerialDevices::diagnose(pty.name, {locks.path()})), hint);
    }
#endif
}

QTEST_MAIN(TestComCfg)
#include "tst_comcfg.moc"
