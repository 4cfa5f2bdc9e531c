// Frames as the panel sees them: completion and the checksum text of every value.
#include "bus/Frame.h"

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
};

QTEST_GUILESS_MAIN(TestFrame)
#include "tst_frame.moc"
