// The command-line read-out end to end: qvr-history-cli against qvr-panel-sim on a real
// pseudo-terminal.
#include "store/Database.h"
#include "store/HistorySchema.h"
#include "store/Recordset.h"
#include "store/StoreState.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <memory>

#include <sqlite3.h>

using namespace qvr;

namespace {

QString program(const char *name)
{
    return QStringLiteral(QVR_BINARY_DIR "/bin/") + QLatin1String(name);
}

// Rows of HISTORY in a saved file (of one panel address when given), -1 when there is no
// such file.
int historyRows(const QString &path, int panel = 0)
{
    if (!QFile::exists(path))
        return -1;
    QString error;
    std::unique_ptr<Database> db =
        Database::open(path, QString(), Database::Access::ReadOnly, &error);
    std::unique_ptr<Recordset> rs =
        db ? db->openRecordset(
                 QStringLiteral("Select * From HISTORY") +
                     (panel ? QStringLiteral(" Where TableauAdresse=%1").arg(panel) : QString()),
                 &error)
           : nullptr;
    return rs ? rs->recordCount() : -2;
}

// The mark in a file's header: a history file's, or a working copy's (which a later
// working copy of the same name may delete as left over).
int applicationId(const QString &path)
{
    sqlite3 *db = nullptr;
    sqlite3_stmt *st = nullptr;
    int id = -1;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr) ==
            SQLITE_OK &&
        sqlite3_prepare_v2(db, "PRAGMA application_id", -1, &st, nullptr) == SQLITE_OK &&
        sqlite3_step(st) == SQLITE_ROW)
        id = sqlite3_column_int(st, 0);
    sqlite3_finalize(st);
    sqlite3_close(db);
    return id;
}

QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// One read-out in its own folder, which holds the settings (the folder is the installation
// folder), the bus log and "panel.his".
class Run
{
public:
    Run()
    {
        settings = dir.filePath(QStringLiteral("settings.ini"));
        QFile ini(settings);
        if (ini.open(QIODevice::WriteOnly))
            ini.write(QStringLiteral("[Installation]\nCurDir=%1\n").arg(dir.path()).toUtf8());
    }
    ~Run()
    {
        if (m_sim.state() != QProcess::NotRunning) {
            m_sim.kill();
            m_sim.waitForFinished(5000);
        }
    }
    QString path(const char *name) const { return dir.filePath(QLatin1String(name)); }

    // Starts qvr-panel-sim with `panel` (none when empty) and the program's read-out with
    // `options` (the port and, unless given, --file panel.his added); sends `signo` once
    // the bus log shows `stopAt`. False when something of the test failed.
    bool run(QStringList panel, QStringList options, const QByteArray &stopAt = {},
             int signo = SIGINT)
    {
        QString port = QStringLiteral("/dev/null");
        if (panel.value(0).startsWith(QLatin1String("panel "))) {
            // A scenario file's text.
            QFile scenario(path("panel.txt"));
            if (!scenario.open(QIODevice::WriteOnly))
                return false;
            scenario.write(panel.first().toUtf8());
            panel = QStringList{QStringLiteral("--scenario"), scenario.fileName()};
        }
        if (!panel.isEmpty()) {
            m_sim.start(program("qvr-panel-sim"), panel);
            while (m_sim.waitForReadyRead(10000) && !m_sim.canReadLine()) {
            }
            port = QString::fromLocal8Bit(m_sim.readLine()).trimmed();
            if (!port.startsWith(QLatin1Char('/')))
                return false;
        }
        if (!options.contains(QLatin1String("--file")))
            options << QStringLiteral("--file") << path("panel.his");
        return cli(QStringList{"readout", "--port", port} + options, stopAt, signo);
    }

    // Runs qvr-history-cli with `args` and this folder's settings; see run().
    bool cli(const QStringList &args, const QByteArray &stopAt = {}, int signo = SIGINT)
    {
        QProcess cli;
        cli.setProcessChannelMode(QProcess::MergedChannels);
        // The program gets the signals' defaults whatever this test was started with.
        cli.setChildProcessModifier([] {
            std::signal(SIGINT, SIG_DFL);
            std::signal(SIGTERM, SIG_DFL);
        });
        cli.start(program("qvr-history-cli"), args + QStringList{"--settings", settings});
        if (!stopAt.isEmpty() &&
            (!QTest::qWaitFor([&] { return contents(path("logdata.txt")).contains(stopAt); },
                              30000) ||
             ::kill(pid_t(cli.processId()), signo) != 0))
            return false;
        if (!cli.waitForFinished(60000) || cli.exitStatus() != QProcess::NormalExit)
            return false;
        exitCode = cli.exitCode();
        out = QString::fromLocal8Bit(cli.readAll());
        return true;
    }

    QTemporaryDir dir;
    QString settings;
    int exitCode = -1;
    QString out;

private:
    QProcess m_sim;
};

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void readout_data();
    void readout();
    void failedSaveKeepsWorkingCopy();
    void interrupted_data();
    void interrupted();
    void site_data();
    void site();
    void exportCsv_data();
    void exportCsv();
};

void TestCli::readout_data()
{
    QTest::addColumn<QStringList>("panel");   // qvr-panel-sim options; none: no panel
    QTest::addColumn<QStringList>("options"); // read-out options besides port and file
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("output"); // a line the program prints
    QTest::addColumn<int>("rows");       // HISTORY rows after, -1: no file

    const QStringList zl{"--class", "ZL", "--address", "17", "--entries", "25", "--seed", "3"};
    QTest::newRow("direct, new file")
        << zl << QStringList{"--connection", "USB", "--address", "17", "--lang", "en"} << 0
        << "Data transmission successful" << 25;
    QTest::newRow("unsuitable panel")
        << QStringList{"--type", "XY", "--model", "1", "--address", "17"}
        << QStringList{"--connection", "RS232", "--address", "17", "--lang", "de"} << 3
        << "Fehler : Das Gerät mit der angegebenen Adresse ist nicht geeignet !" << -1;
    QTest::newRow("master does not take the bus back")
        << QStringList{"panel class=ZL address=17\nentry address=0 start=\"2026-03-05 12:00\"\n"
                       "master address=100 poll=100 nevertakesback=1 queries=\":;101:MAST?\""}
        << QStringList{"--connection", "int.", "--address", "17", "--baud", "9600", "--lang", "en"}
        << 3 << "Data transmission successful" << 1;
    QTest::newRow("address out of range")
        << QStringList{} << QStringList{"--connection", "USB", "--address", "100"} << 1
        << "qvr-history-cli readout" << -1;
    QTest::newRow("reversed range in a list")
        << QStringList{} << QStringList{"--connection", "USB", "--address", "5,7-3"} << 1
        << "Invalid address list: 5,7-3" << -1;
    QTest::newRow("unknown connection")
        << QStringList{} << QStringList{"--connection", "COM", "--address", "17"} << 1
        << "qvr-history-cli readout" << -1;
    // Told before the panel is read: the port is never opened.
    QTest::newRow("target folder missing")
        << QStringList{}
        << QStringList{"--connection", "USB", "--address", "17", "--file", "/nonexistent/p.his"}
        << 1 << "The folder does not exist or cannot be written to." << -1;
}

void TestCli::readout()
{
    QFETCH(QStringList, panel);
    QFETCH(QStringList, options);
    QFETCH(int, exitCode);
    QFETCH(QString, output);
    QFETCH(int, rows);

    Run r;
    QVERIFY(r.run(panel, options));
    QVERIFY2(r.exitCode == exitCode && r.out.contains(output), qPrintable(r.out));
    QCOMPARE(historyRows(r.path("panel.his")), rows);
    // The bus log lies in the installation folder whenever the port was opened.
    QCOMPARE(QFile::exists(r.path("logdata.txt")), exitCode != 1);
    // No working copy is left behind.
    QVERIFY(!QFile::exists(r.path("panel.tmp")));
}

void TestCli::failedSaveKeepsWorkingCopy()
{
    Run r;
    const QString file = r.path("panel.his");
    {
        StoreState store;
        QVERIFY(HistorySchema::CreateHistoryDatabase(store, file));
    }
    // Another program is in a write transaction on the file all the time: the save is
    // refused at the end of the read-out.
    sqlite3 *other = nullptr;
    QVERIFY(sqlite3_open(QFile::encodeName(file).constData(), &other) == SQLITE_OK);
    QVERIFY(sqlite3_exec(other, "BEGIN IMMEDIATE; DELETE FROM LumoHistory", nullptr, nullptr,
                         nullptr) == SQLITE_OK);
    QVERIFY(r.run({"--class", "ZL", "--address", "17", "--entries", "25"},
                  {"--connection", "USB", "--address", "17", "--lang", "en"}));
    QVERIFY2(r.exitCode == 1 && r.out.contains("in use by another program"), qPrintable(r.out));
    // The working copy stays with every event, and the message says where it is.
    QVERIFY2(r.out.contains("Working copy: " + r.path("panel.tmp")), qPrintable(r.out));
    QCOMPARE(historyRows(r.path("panel.tmp")), 25);
    QCOMPARE(applicationId(r.path("panel.tmp")), Database::kApplicationId);
    QVERIFY(sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr) == SQLITE_OK);
    sqlite3_close(other);
    QCOMPARE(historyRows(file), 0);
}

void TestCli::interrupted_data()
{
    QTest::addColumn<int>("signo");
    QTest::newRow("SIGINT") << SIGINT;
    QTest::newRow("SIGTERM") << SIGTERM;
}

// Stopped in the middle of the transfer: the panel and the bus are handed back, the user's
// file stays as it was and no working copy is left.
void TestCli::interrupted()
{
    QFETCH(int, signo);
    Run r;
    {
        StoreState store;
        QVERIFY(HistorySchema::CreateHistoryDatabase(store, r.path("panel.his")));
    }
    const QByteArray before = contents(r.path("panel.his"));
    QVERIFY(r.run({"--class", "ZL", "--address", "17", "--entries", "300", "--master", "100"},
                  {"--connection", "int.", "--address", "17", "--baud", "9600", "--lang", "en"},
                  ":;017:LCDRH 005", signo));
    QVERIFY2(r.exitCode == 128 + signo && r.out.contains("Read-out stopped"), qPrintable(r.out));
    QCOMPARE(contents(r.path("panel.his")), before);
    QCOMPARE(QDir(r.dir.path()).entryList(QDir::Files),
             (QStringList{"logdata.txt", "panel.his", "settings.ini"}));
    // The panel's transfer was closed, and the master answered the return and got the
    // acknowledgment.
    const QByteArray sent = contents(r.path("logdata.txt"));
    QVERIFY2(sent.contains("-----> :;017:LCDST&") && sent.contains("<- ::100:MAST 1&") &&
                 sent.contains("-----> ::101:&"),
             sent.right(400).constData());
}

void TestCli::site_data()
{
    QTest::addColumn<QString>("site");      // the simulated panels
    QTest::addColumn<QString>("addresses"); // the list read out
    QTest::addColumn<QByteArray>("stopAt"); // SIGINT once the bus log shows this
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("output");
    QTest::addColumn<QList<int>>("rows"); // HISTORY rows of the panels at 3, 5 and 17
    QTest::addColumn<int>("takeovers");   // the PC got the bus from the master this often

    QTest::newRow("three classes and a silent address")
        << "3:ZL,5:PV,17:RQ"
        << "3-5,17" << QByteArray() << 3
        << QStringList{"Panel 4 of 4, address 17", "Address 3 (ZL 2900): 6 entries read",
                       "Address 4: The device is not responding! Please try again.",
                       "Address 5 (PV 370): 6 entries read", "Address 17 (RQ 6150): 6 entries read"}
        << QList<int>{6, 6, 6} << 4;
    QTest::newRow("stopped during the second panel")
        << "3:ZL,5:PV:300,17:RQ"
        << "3,5,17" << QByteArray(":;005:LCDRH 003") << 130
        << QStringList{"Address 3 (ZL 2900): 6 entries read", "Address 5: stopped, nothing kept",
                       "Address 17: not read", "the panels read before have been saved"}
        << QList<int>{6, 0, 0} << 2;
}

// Several panels behind one master into one file: the bus goes back to the master between
// two panels, a silent address is reported and skipped, a stop keeps the panels before.
void TestCli::site()
{
    QFETCH(QString, site);
    QFETCH(QString, addresses);
    QFETCH(QByteArray, stopAt);
    QFETCH(int, exitCode);
    QFETCH(QStringList, output);
    QFETCH(QList<int>, rows);
    QFETCH(int, takeovers);

    Run r;
    QVERIFY(
        r.run({"--site", site, "--entries", "6", "--master", "100"},
              {"--connection", "int.", "--address", addresses, "--baud", "9600", "--lang", "en"},
              stopAt));
    QVERIFY2(r.exitCode == exitCode, qPrintable(r.out));
    for (const QString &line : output)
        QVERIFY2(r.out.contains(line), qPrintable(r.out));
    const QString file = r.path("panel.his");
    QCOMPARE((QList<int>{historyRows(file, 3), historyRows(file, 5), historyRows(file, 17)}), rows);
    QCOMPARE(historyRows(file), rows[0] + rows[1] + rows[2]);
    // Between two panels the master's query to the PC went unanswered once, so the
    // master polled round again before the PC took the bus for the next panel.
    int panels = 0;
    int queries = 0;
    for (const QByteArray &line : contents(r.path("logdata.txt")).split('\n')) {
        if (line.startsWith("<- :;101:MAST?")) {
            ++queries;
        } else if (line.startsWith("-----> ::101:MAST 1&")) {
            QVERIFY2(panels == 0 || queries >= 2, qPrintable(QString::number(panels)));
            ++panels;
        } else if (line.startsWith("-----> ::101:&")) {
            queries = 0;
        }
    }
    QCOMPARE(panels, takeovers);
}

void TestCli::exportCsv_data()
{
    QTest::addColumn<QString>("where");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("csv"); // empty: no file written
    QTest::newRow("filter, grid order, German")
        << "TableauAdresse>1" << 0
        << QByteArray(
               "\xEF\xBB\xBFNr.;Ger\xC3\xA4teadr.;Start;Quit;Stop;Typ;Test;Adresse/Kanal;"
               "EIB-Kanal;Text Zeile 1;Text Zeile 2;Text Zeile 3;Min-Wert;Max-Wert;Geraetetyp\r\n"
               "1;2;05.12.2026 14:03;;;Alarm;nein;000 / 000 / 000;;\"Tor;Nord\";;;;;\r\n"
               "2;3;04.12.2026 09:00;;;;nein;000 / 000 / 000;;;;;;;\r\n");
    QTest::newRow("refused clause") << "TableauAdresse=" << 1 << QByteArray();
    QTest::newRow("a write in the clause") << "1=1; DELETE FROM HISTORY" << 1 << QByteArray();
}

// The grid as the window shows it, from the command line; the history file is only read.
void TestCli::exportCsv()
{
    QFETCH(QString, where);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, csv);
    Run r;
    const QString file = r.path("site.his");
    const QString out = r.path("site.csv");
    {
        StoreState store;
        QVERIFY(HistorySchema::CreateHistoryDatabase(store, file));
        QVERIFY(store.gDatabase->execute(QStringLiteral(
            "INSERT INTO HISTORY (TableauAdresse, Start_Datum, Meldeleuchte, Text1) VALUES"
            " (3, 46360.375, 0, ''), (1, 46361, 1, 'x'), (2, 46361.5854166667, 1, 'Tor;Nord')")));
    }
    QVERIFY(r.cli({"export", "--file", file, "--csv", out, "--where", where, "--lang", "de"}));
    QVERIFY2(r.exitCode == exitCode, qPrintable(r.out));
    QCOMPARE(contents(out), csv);
    QVERIFY2(exitCode == 0 || r.out.contains(QStringLiteral("Antwort der Datenbank")),
             qPrintable(r.out));
    QCOMPARE(historyRows(file), 3);
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
