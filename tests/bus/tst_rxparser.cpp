// The receive parser on what the line can bring: good frames, the documented edge cases,
// garbage, and endless data.
#include "bus/Frame.h"

#include <QRandomGenerator>
#include <QTest>

using namespace qvr;

namespace {

// Feeds bytes like the receive handler does and returns every delivered frame as
// "kind|address|command|param"; the reader resets the parser after each frame.
QStringList feed(RxParser &parser, const QByteArray &bytes)
{
    QStringList frames;
    for (char c : bytes) {
        parser.ParseRxChar(static_cast<unsigned char>(c));
        if (parser.gRxFrameComplete == 1) {
            frames << QStringLiteral("%1|%2|%3|%4")
                          .arg(parser.gRxKind)
                          .arg(parser.gRxAddress)
                          .arg(parser.gRxCommand, parser.gRxParam);
            parser.reset();
        }
    }
    return frames;
}

QByteArray frame(const char *text)
{
    return FrameBytes(CompleteFrame(QString::fromLatin1(text)));
}

} // namespace

class TestRxParser : public QObject
{
    Q_OBJECT

private slots:
    void delivers_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("request") << QByteArray(":;001:IDNM? 1&rp\r\n")
                                 << QStringList{"1|1|IDNM?|1"};
        QTest::newRow("answer with short command")
            << frame("::017:MAST 1") << QStringList{"0|17|MAST |1"};
        QTest::newRow("CR missing before LF")
            << QByteArray(":;001:IDNM? 1&rp\n") << QStringList{"1|1|IDNM?|1"};
        QTest::newRow("CR among checksum characters")
            << QByteArray(":;001:IDNM? 1&r\rp\r\n") << QStringList{"1|1|IDNM?|1"};
        QTest::newRow("no command, & at once")
            << QByteArray("::101:&9a\r\n") << QStringList{"0|101|     |"};
        QTest::newRow("blank instead of command separator")
            << frame("::012 000123") << QStringList{"0|12|     |000123"};
        QTest::newRow("highest address") << frame("::299:X") << QStringList{"0|299|X    |"};
        QTest::newRow("address 300") << frame(":;300:IDNM? 1") << QStringList{};
        QTest::newRow("letter in address") << frame(":;0A1:IDNM? 1") << QStringList{};
        QTest::newRow("wrong checksum") << QByteArray(":;001:IDNM? 1&rq\r\n") << QStringList{};
        // "xxyy" adds up to the right value, but four checksum characters are too many;
        // "KKL" adds up to it with three.
        QTest::newRow("four checksum characters")
            << QByteArray(":;001:IDNM? 1&xxyy\r\n") << QStringList{};
        QTest::newRow("three checksum characters")
            << QByteArray(":;001:IDNM? 1&KKL\r\n") << QStringList{"1|1|IDNM?|1"};
        QTest::newRow("six-character command") << frame(":;001:IDNMXY 1") << QStringList{};
        QTest::newRow("PX= with 000 and a wrong checksum")
            << QByteArray("::005:PX= 000123&ZZ\r\n") << QStringList{"0|5|PX=  |000123"};
        QTest::newRow("PX= without 000 and a wrong checksum")
            << QByteArray("::005:PX= 001123&ZZ\r\n") << QStringList{};
        QTest::newRow("text before the first colon")
            << QByteArray("xyz 17\r") + frame("::101:") << QStringList{"0|101|     |"};
        QTest::newRow("188 parameter characters")
            << frame(QByteArray(":;001:LCDRH " + QByteArray(188, '7')).constData())
            << QStringList{"1|1|LCDRH|" + QString(188, QLatin1Char('7'))};
        QTest::newRow("two frames back to back") << frame(":;001:IDNM? 1") + frame("::101:")
                                                 << QStringList{"1|1|IDNM?|1", "0|101|     |"};
        QTest::newRow("frame after a broken header")
            << QByteArray("::") + frame(":;001:IDNM? 1") << QStringList{"1|1|IDNM?|1"};
        QTest::newRow("frame inside a broken command")
            << QByteArray(":;001:AB") + frame(":;001:IDNM? 1") << QStringList{"1|1|IDNM?|1"};
        QTest::newRow("frame after a broken checksum")
            << QByteArray(":;001:X&rrrr") + frame("::101:") << QStringList{"0|101|     |"};
        QTest::newRow("line break inside the parameters")
            << QByteArray(":;001:AB C\nD&A\r\n") + frame("::101:") << QStringList{"0|101|     |"};
        QTest::newRow("NUL and 8-bit bytes")
            << QByteArray("\0\xff\x80:\xfe;", 6) + frame("::101:MAST 1")
            << QStringList{"0|101|MAST |1"};
    }
    void delivers()
    {
        QFETCH(QByteArray, input);
        QFETCH(QStringList, expected);
        RxParser parser;
        QCOMPARE(feed(parser, input), expected);
    }

    // Random noise with valid frames mixed in: each frame comes out exactly once, in
    // order, and nothing else does.
    void garbageWithFramesMixedIn()
    {
        QRandomGenerator rng(4711);
        for (int round = 0; round < 200; ++round) {
            QByteArray line;
            QStringList expected;
            for (int k = 0; k < 20; ++k) {
                // Noise: random bytes, colons and frame-like pieces, ended by a line break
                // or cut off as a broken header.
                QByteArray noise;
                const int n = rng.bounded(40);
                for (int i = 0; i < n; ++i) {
                    // Frame starts, any byte, a cut-off start, printable text.
                    const int kind = rng.bounded(4);
                    noise += kind == 0   ? QByteArray(":")
                             : kind == 1 ? QByteArray(1, char(rng.bounded(256)))
                             : kind == 2 ? QByteArray(":;0").left(rng.bounded(1, 4))
                                         : QByteArray(1, char(0x20 + rng.bounded(0x5F)));
                }
                if (rng.bounded(2))
                    noise += '\n';
                else
                    noise += QByteArray("::").left(rng.bounded(1, 3));
                line += noise;

                const int address = rng.bounded(300);
                const QString command = QStringLiteral("LCD%1").arg(QChar('A' + rng.bounded(26)));
                const QString param =
                    QString::number(rng.bounded(1000)).rightJustified(3, QLatin1Char('0'));
                const bool request = rng.bounded(2);
                const QString text = QStringLiteral(":%1%2:%3 %4")
                                         .arg(request ? ';' : ':')
                                         .arg(address, 3, 10, QLatin1Char('0'))
                                         .arg(command, param);
                line += FrameBytes(CompleteFrame(text));
                expected << QStringLiteral("%1|%2|%3 |%4")
                                .arg(request ? 1 : 0)
                                .arg(address)
                                .arg(command, param);
            }
            RxParser parser;
            const QStringList got = feed(parser, line);
            QCOMPARE(got, expected);
        }
    }

    // Endless data without a line break: memory stays bounded and the log gets it in
    // pieces; the parser still finds the next frame.
    void endlessDataStaysBounded()
    {
        RxParser parser;
        qsizetype logged = 0;
        parser.setLogSink([&](const QString &l) { logged += l.size(); });
        QByteArray noise;
        for (int i = 0; i < 100000; ++i)
            noise += char("ab:;0 &x"[i % 8]);
        QVERIFY(feed(parser, noise).isEmpty());
        QVERIFY(parser.gRxLogLine.size() < RxParser::kMaxLogLine);
        QVERIFY(parser.gRxParam.size() <= 188);
        QCOMPARE(logged + parser.gRxLogLine.size(), noise.size());
        QCOMPARE(feed(parser, "\n" + frame("::101:")), QStringList{"0|101|     |"});
    }

    // The log gets every received line exactly as it came, up to and including its LF.
    void logLinesAsReceived()
    {
        RxParser parser;
        QStringList lines;
        parser.setLogSink([&](const QString &l) { lines << l; });
        feed(parser, QByteArray("junk\n::101:&9a\r\n:;0"));
        QCOMPARE(lines, (QStringList{"junk\n", "::101:&9a\r\n"}));
        QCOMPARE(parser.gRxLogLine, QStringLiteral(":;0"));
    }
};

QTEST_GUILESS_MAIN(TestRxParser)
#include "tst_rxparser.moc"
