// Read-out speed: qvr-history-cli reads a class ZL panel (every entry with programming
// record, text and analogue values) from qvr-panel-sim through a pseudo-terminal with
// line timing, and the wall time is set against the least time the line allows: the
// characters on the wire (10 bits each), the 20 ms pause before every send and the
// panel's turnaround. The program's share is what lies above that bound.
//
//   bench_readout [ENTRIES] [BAUD...]      (default: 650 entries at 57600 and 9600 baud)

#include "PanelScenario.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cstdio>
#include <sys/resource.h>

using namespace qvr;

namespace {

constexpr int kTurnaroundMs = 2;
constexpr int kSendPauseMs = 20;

PanelScenario fullScenario(int entries)
{
    PanelScenario s;
    s.setPanel(PanelScenario::Layout::ZL);
    s.address = 17;
    const QDateTime base(QDate(2026, 3, 1), QTime(8, 0));
    for (int i = 1; i <= entries; ++i) {
        PanelScenario::Event e;
        e.alarmAddress = i; // every entry its own address: no programming record is reused
        e.start = base.addSecs(qint64(i) * 600);
        e.acknowledged = i % 2 == 0;
        e.acknowledgedAt = e.start.addSecs(60);
        e.stopped = i % 3 == 0;
        e.stoppedAt = e.start.addSecs(300);
        e.hasAnalog = true;
        e.analogLowerName = QStringLiteral("U ");
        e.analogLowerUnit = QStringLiteral("V ");
        e.analogLower = 12.5;
        e.analogUpperName = QStringLiteral("I ");
        e.analogUpperUnit = QStringLiteral("mA");
        e.analogUpper = 3;
        s.events << e;
        PanelScenario::Program p;
        p.textNumber = i;
        p.lamp = 1;
        p.buzzer = 1;
        s.programs.insert(i, p);
        QStringList lines;
        for (int l = 1; l <= 6; ++l)
            lines << QStringLiteral("Melder %1 Zeile %2").arg(i, 3, 10, QLatin1Char('0')).arg(l);
        s.texts.insert(i, lines);
    }
    return s;
}

struct Run
{
    bool ok = false;
    double wallMs = 0;
    qint64 chars = 0;
    int frames = 0;
    int turnarounds = 0;
    double cpuMs = 0; // both programs together
    QString detail;
};

double childrenCpuMs()
{
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return (double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000.0)
           + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000.0;
}

Run readOut(const QString &binDir, const QString &scenarioFile, int baud, const QTemporaryDir &dir)
{
    Run r;
    const double cpuBefore = childrenCpuMs();
    QProcess sim;
    sim.start(binDir + QStringLiteral("/qvr-panel-sim"),
              {QStringLiteral("--scenario"), scenarioFile, QStringLiteral("--baud"),
               QString::number(baud), QStringLiteral("--turnaround"),
               QString::number(kTurnaroundMs), QStringLiteral("--exit-after-readout")});
    if (!sim.waitForStarted(10000))
        return r;
    while (!sim.canReadLine() && sim.waitForReadyRead(10000)) {
    }
    const QString pty = QString::fromLocal8Bit(sim.readLine()).trimmed();

    const QString file = dir.filePath(QStringLiteral("bench%1.his").arg(baud));
    QFile::remove(file);
    QProcess cli;
    QElapsedTimer wall;
    wall.start();
    cli.start(binDir + QStringLiteral("/qvr-history-cli"),
              {QStringLiteral("readout"), QStringLiteral("--port"), pty,
               QStringLiteral("--connection"),
               baud == 57600 ? QStringLiteral("USB") : QStringLiteral("RS232"),
               QStringLiteral("--address"), QStringLiteral("17"), QStringLiteral("--file"), file,
               QStringLiteral("--settings"), dir.filePath(QStringLiteral("settings.ini")),
               QStringLiteral("--lang"), QStringLiteral("en")});
    cli.waitForFinished(-1);
    r.wallMs = double(wall.nsecsElapsed()) / 1e6;
    r.detail = QString::fromLocal8Bit(cli.readAll()).trimmed();
    sim.waitForFinished(30000);
    r.cpuMs = childrenCpuMs() - cpuBefore;
    const QString stats = QString::fromLocal8Bit(sim.readAllStandardError());
    static const QRegularExpression re(QStringLiteral(
        "(\\d+) characters received, (\\d+) sent, (\\d+) frames received, \\d+ answers, "
        "(\\d+) turnarounds"));
    const QRegularExpressionMatch m = re.match(stats);
    if (!m.hasMatch() || cli.exitCode() != 0)
        return r;
    r.chars = m.captured(1).toLongLong() + m.captured(2).toLongLong();
    r.frames = m.captured(3).toInt();
    r.turnarounds = m.captured(4).toInt();
    r.ok = true;
    return r;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int entries = args.size() > 1 ? args[1].toInt() : 650;
    QList<int> bauds;
    for (qsizetype i = 2; i < args.size(); ++i)
        bauds << args[i].toInt();
    if (bauds.isEmpty())
        bauds = {57600, 9600};

    QTemporaryDir dir;
    QFile ini(dir.filePath(QStringLiteral("settings.ini")));
    if (!dir.isValid() || !ini.open(QIODevice::WriteOnly))
        return 1;
    ini.write(QStringLiteral("[Installation]\nCurDir=%1\n").arg(dir.path()).toUtf8());
    ini.close();
    const QString scenarioFile = dir.filePath(QStringLiteral("panel.txt"));
    QFile scenario(scenarioFile);
    if (!scenario.open(QIODevice::WriteOnly))
        return 1;
    scenario.write(fullScenario(entries).toText().toUtf8());
    scenario.close();

    const QString binDir = QCoreApplication::applicationDirPath();
    std::printf("read-out of %d class ZL entries through a pseudo-terminal\n", entries);
    for (int baud : bauds) {
        const Run r = readOut(binDir, scenarioFile, baud, dir);
        if (!r.ok) {
            std::printf("%6d baud: read-out failed: %s\n", baud, qPrintable(r.detail));
            return 1;
        }
        const double wireMs = double(r.chars) * 10.0 * 1000.0 / baud;
        const double pauseMs = double(r.frames) * kSendPauseMs;
        const double turnMs = double(r.turnarounds) * kTurnaroundMs;
        const double boundMs = wireMs + pauseMs + turnMs;
        std::printf("%6d baud: wall %.1f s, lower bound %.1f s (wire %.1f s for %lld characters, "
                    "%d pauses %.1f s, turnarounds %.1f s); wall/bound %.3f, program's share "
                    "%.2f %% of the bound (target under 5 %%)\n",
                    baud, r.wallMs / 1000, boundMs / 1000, wireMs / 1000,
                    static_cast<long long>(r.chars), r.frames, pauseMs / 1000, turnMs / 1000,
                    r.wallMs / boundMs, (r.wallMs - boundMs) / boundMs * 100.0);
        // The share above is mostly waiting (wake-ups on a loaded machine); the processor
        // time the program and the simulator used between them bounds the program's work.
        std::printf("%6d baud: processor time of program and simulator %.2f s, %.2f %% of the "
                    "bound, %.2f ms per frame\n",
                    baud, r.cpuMs / 1000, r.cpuMs / boundMs * 100.0, r.cpuMs / r.frames);
        std::fflush(stdout);
    }
    return 0;
}
