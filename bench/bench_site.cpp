// Site read-out speed: qvr-history-cli reads a site of panels (classes ZL, PV and RQ in
// turn, generated histories) behind one bus master from qvr-panel-sim through a
// pseudo-terminal with line timing. The wall time is set against the sum of the single
// read-outs' lower bounds: every character the PC and the panels put on the line for the
// read-outs (the takeover and return of each panel included, the master's own polling
// left out) at 10 bits each, the 20 ms pause before each of the PC's frames and each
// turnaround. Printed besides: how long the installation's master was without the bus in
// total, from each release to the PC's return request.
//
//   bench_site [PANELS] [ENTRIES] [BAUD]      (default: 10 panels, 100 entries, 57600 baud)

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdio>

namespace {

constexpr int kTurnaroundMs = 2;
constexpr int kSendPauseMs = 20;

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int panels = args.size() > 1 ? args[1].toInt() : 10;
    const int entries = args.size() > 2 ? args[2].toInt() : 100;
    const int baud = args.size() > 3 ? args[3].toInt() : 57600;
    if (panels < 1 || panels > 99 || entries < 1 || baud <= 0)
        return 1;

    QTemporaryDir dir;
    QFile ini(dir.filePath(QStringLiteral("settings.ini")));
    if (!dir.isValid() || !ini.open(QIODevice::WriteOnly))
        return 1;
    ini.write(QStringLiteral("[Installation]\nCurDir=%1\n").arg(dir.path()).toUtf8());
    ini.close();

    static const char *const classes[] = {"ZL", "PV", "RQ"};
    QStringList site;
    for (int p = 1; p <= panels; ++p)
        site << QStringLiteral("%1:%2:%3")
                    .arg(p)
                    .arg(QLatin1String(classes[(p - 1) % 3]))
                    .arg(entries);

    const QString binDir = QCoreApplication::applicationDirPath();
    QProcess sim;
    sim.start(binDir + QStringLiteral("/qvr-panel-sim"),
              {QStringLiteral("--site"), site.join(QLatin1Char(',')), QStringLiteral("--baud"),
               QString::number(baud), QStringLiteral("--turnaround"),
               QString::number(kTurnaroundMs), QStringLiteral("--master"), QStringLiteral("100"),
               QStringLiteral("--exit-after-readout")});
    if (!sim.waitForStarted(10000))
        return 1;
    while (!sim.canReadLine() && sim.waitForReadyRead(10000)) {
    }
    const QString pty = QString::fromLocal8Bit(sim.readLine()).trimmed();

    QProcess cli;
    QElapsedTimer wall;
    wall.start();
    cli.start(binDir + QStringLiteral("/qvr-history-cli"),
              {QStringLiteral("readout"), QStringLiteral("--port"), pty,
               QStringLiteral("--connection"), QStringLiteral("int."), QStringLiteral("--baud"),
               QString::number(baud), QStringLiteral("--address"),
               QStringLiteral("1-%1").arg(panels), QStringLiteral("--file"),
               dir.filePath(QStringLiteral("site.his")), QStringLiteral("--settings"),
               dir.filePath(QStringLiteral("settings.ini")), QStringLiteral("--lang"),
               QStringLiteral("en")});
    cli.waitForFinished(-1);
    const double wallMs = double(wall.nsecsElapsed()) / 1e6;
    const QString detail = QString::fromLocal8Bit(cli.readAll()).trimmed();
    if (!sim.waitForFinished(30000))
        sim.terminate();
    sim.waitForFinished(5000);
    const QString stats = QString::fromLocal8Bit(sim.readAllStandardError());
    static const QRegularExpression re(QStringLiteral(
        "(\\d+) characters received, (\\d+) sent, (\\d+) frames received, \\d+ answers, "
        "(\\d+) turnarounds, \\d+ characters dropped, (\\d+) of the master's queries, master "
        "without the bus (\\d+) ms"));
    const QRegularExpressionMatch m = re.match(stats);
    if (!m.hasMatch() || cli.exitCode() != 0) {
        std::printf("site read-out failed (status %d): %s\n%s\n", cli.exitCode(),
                    qPrintable(detail), qPrintable(stats));
        return 1;
    }
    const qint64 chars =
        m.captured(1).toLongLong() + m.captured(2).toLongLong() - m.captured(5).toLongLong();
    const int frames = m.captured(3).toInt();
    const int turnarounds = m.captured(4).toInt();
    const double releasedMs = m.captured(6).toDouble();
    const double wireMs = double(chars) * 10.0 * 1000.0 / baud;
    const double pauseMs = double(frames) * kSendPauseMs;
    const double turnMs = double(turnarounds) * kTurnaroundMs;
    const double boundMs = wireMs + pauseMs + turnMs;

    std::printf("site of %d panels x %d entries at %d baud behind a master, through a "
                "pseudo-terminal\n",
                panels, entries, baud);
    std::printf("wall %.1f s; sum of the single read-outs' lower bounds %.1f s (wire %.1f s "
                "for %lld characters, %d pauses %.1f s, turnarounds %.1f s); wall/bound %.3f, "
                "%.2f s above the bound per panel\n",
                wallMs / 1000, boundMs / 1000, wireMs / 1000, static_cast<long long>(chars), frames,
                pauseMs / 1000, turnMs / 1000, wallMs / boundMs,
                (wallMs - boundMs) / 1000 / panels);
    std::printf("the installation's master was without the bus %.1f s in total, %.1f %% of "
                "the wall time, %.2f s per panel; held/bound %.3f\n",
                releasedMs / 1000, releasedMs / wallMs * 100.0, releasedMs / 1000 / panels,
                releasedMs / boundMs);
    return 0;
}
