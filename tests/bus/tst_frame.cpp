// Frames as the panel sees them: completion, checksum text, and the checksum property.
#include "bus/Frame.h"

#include <QRandomGenerator>
#include <QTest>

using namespace qvr;

class TestFrame : public QObject
{
    Q_OBJECT

private slots:
    void completesFrame_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("identification request") << ":;001:IDNM? 1"
                                                << ":;001:IDNM? 1&rp\r\n";
        QTest::newRow("answer to a master query") << "::101:MAST 1"
                                                  << "::101:MAST 1&dZV\r\n";
        QTest::newRow("release acknowledgment") << "::101:"
                                                << "::101:&9a\r\n";
        QTest::newRow("one-character checksum") << ":;017:LCDRH 001"
                                                << ":;017:LCDRH 001&u\r\n";
        // ":" (58) + "&" (38) + 160 = 256: the checksum value is 0.
        QTest::newRow("sum already a multiple of 256")
            << QString(":") + QChar(160) << QString(":") + QChar(160) + "&dZB\r\n";
    }
    void completesFrame()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(CompleteFrame(text), expected);
    }

    // Every value has a printable text whose codes add up to it, in the documented form.
    void checksumTextEncodesEveryValue_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("prefix");
        const struct
        {
            int from, to;
            const char *prefix;
        } ranges[] = {
            {0, 55, "dZ"},   {56, 64, "zz"},  {65, 121, ""},
            {122, 178, "9"}, {179, 236, "r"}, {237, 255, "VV"},
        };
        for (const auto &r : ranges)
            for (int c = r.from; c <= r.to; ++c)
                QTest::addRow("%d", c) << c << QString::fromLatin1(r.prefix);
    }
    void checksumTextEncodesEveryValue()
    {
        QFETCH(int, value);
        QFETCH(QString, prefix);
        const QString text = ChecksumText(value);
        QVERIFY2(text.startsWith(prefix), qPrintable(text));
        QCOMPARE(text.size(), prefix.size() + 1);
        int sum = 0;
        for (QChar ch : text) {
            QVERIFY2(ch.unicode() >= 0x21 && ch.unicode() <= 0x7E, qPrintable(text));
            sum += ch.unicode();
        }
        QCOMPARE(sum % 256, value);
    }

    // For any frame text the completed frame's bytes before CR LF add up to a multiple of
    // 256, every checksum character is printable, and the parser accepts it unchanged.
    void randomFramesBalanceToZero()
    {
        QRandomGenerator rng(20260412);
        for (int i = 0; i < 10000; ++i) {
            QString text = QStringLiteral(":;%1:").arg(rng.bounded(300), 3, 10, QLatin1Char('0'));
            const int commandLength = rng.bounded(6);
            for (int k = 0; k < commandLength; ++k)
                text += QChar(char('A' + rng.bounded(26)));
            if (rng.bounded(2)) {
                text += QLatin1Char(' ');
                const int paramLength = rng.bounded(120);
                for (int k = 0; k < paramLength; ++k) {
                    const char c = char(0x20 + rng.bounded(0x5F));
                    text += QChar(c == '&' ? '+' : c);
                }
            }
            const QString frame = CompleteFrame(text);
            QVERIFY(frame.endsWith(QLatin1String("\r\n")));
            const QByteArray bytes = FrameBytes(frame.chopped(2));
            int sum = 0;
            for (char c : bytes)
                sum += static_cast<unsigned char>(c);
            QVERIFY2(sum % 256 == 0, qPrintable(frame));
            const qsizetype amp = frame.lastIndexOf(QLatin1Char('&'));
            const QString check = frame.mid(amp + 1).chopped(2);
            QVERIFY(check.size() >= 1 && check.size() <= 3);
            for (QChar ch : check)
                QVERIFY2(ch.unicode() > 0x20 && ch.unicode() < 0x7F, qPrintable(frame));

            RxParser parser;
            for (char c : FrameBytes(frame))
                parser.ParseRxChar(static_cast<unsigned char>(c));
            QVERIFY2(parser.gRxFrameComplete == 1, qPrintable(frame));
        }
    }
};

QTEST_GUILESS_MAIN(TestFrame)
#include "tst_frame.moc"
