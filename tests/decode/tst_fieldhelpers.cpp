#include "decode/FieldHelpers.h"

#include <QDate>
#include <QLocale>
#include <QTest>

using namespace qvr;

namespace {

// Days since 30 December 1899 counted by QDate, independent of the decoder's arithmetic.
double ole(const QDate &d, int h = 0, int m = 0, int s = 0)
{
    return QDate(1899, 12, 30).daysTo(d) + (h * 3600 + m * 60 + s) / 86400.0;
}

// Expected output of the codes 1..31 in one language, written as text: '.' stands for
// "the control code is left as it is".
QString expectedForCodes(const QString &pattern)
{
    QString out;
    for (int i = 0; i < pattern.size(); ++i)
        out += pattern.at(i) == QLatin1Char('.') ? QChar(i + 1) : pattern.at(i);
    return out;
}

} // namespace

class TestFieldHelpers : public QObject
{
    Q_OBJECT

private slots:
    void padding_data();
    void padding();
    void textToInt_data();
    void textToInt();
    void deviceDateTime_data();
    void deviceDateTime();
    void deviceDateTimeIgnoresRegionalSettings_data();
    void deviceDateTimeIgnoresRegionalSettings();
    void deviceText_data();
    void deviceText();
};

void TestFieldHelpers::padding_data()
{
    QTest::addColumn<QString>("in");
    QTest::addColumn<QString>("three");
    QTest::addColumn<QString>("two");
    QTest::newRow("one digit") << "5"
                               << "005"
                               << "05";
    QTest::newRow("two digits") << "12"
                                << "012"
                                << "12";
    QTest::newRow("three digits") << "123"
                                  << "123"
                                  << "123";
    QTest::newRow("four digits are kept") << "1234"
                                          << "1234"
                                          << "1234";
    QTest::newRow("blanks removed first") << " 7 "
                                          << "007"
                                          << "07";
    QTest::newRow("empty stays empty") << ""
                                       << ""
                                       << "";
}

void TestFieldHelpers::padding()
{
    QFETCH(QString, in);
    QFETCH(QString, three);
    QFETCH(QString, two);
    QCOMPARE(PadTo3(in), three);
    QCOMPARE(PadTo2(in), two);
    bool ok = false;
    const int n = in.trimmed().toInt(&ok);
    if (ok) {
        QCOMPARE(PadTo3(n), three);
        QCOMPARE(PadTo2(n), two);
    }
}

void TestFieldHelpers::textToInt_data()
{
    QTest::addColumn<QString>("in");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("value");
    QTest::newRow("empty") << "" << true << 0;
    QTest::newRow("one blank") << " " << true << 0;
    QTest::newRow("blank field") << "   " << true << 0;
    QTest::newRow("zero filled") << "007" << true << 7;
    QTest::newRow("surrounding blanks") << "  42 " << true << 42;
    QTest::newRow("negative") << "-5" << true << -5;
    QTest::newRow("plus sign") << "+5" << true << 5;
    QTest::newRow("largest") << "32767" << true << 32767;
    QTest::newRow("smallest") << "-32768" << true << -32768;
    QTest::newRow("overflow") << "32768" << false << 0;
    QTest::newRow("underflow") << "-32769" << false << 0;
    QTest::newRow("huge") << "99999999999999999999999" << false << 0;
    QTest::newRow("letter O for zero") << "1O" << false << 0;
    QTest::newRow("letters") << "abc" << false << 0;
    QTest::newRow("inner blank") << "1 2" << false << 0;
    QTest::newRow("sign alone") << "-" << false << 0;
    QTest::newRow("decimal") << "1.5" << false << 0;
}

void TestFieldHelpers::textToInt()
{
    QFETCH(QString, in);
    QFETCH(bool, ok);
    QFETCH(int, value);
    bool gotOk = !ok;
    const int got = TextToInt(in, gotOk);
    QCOMPARE(gotOk, ok);
    QCOMPARE(got, value);
}

void TestFieldHelpers::deviceDateTime_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("error");
    QTest::addColumn<double>("result");
    QTest::addColumn<double>("datePart");
    QTest::addColumn<double>("timePart");

    const auto ok = [](const char *name, const char *text, double result, double date,
                       double time) {
        QTest::newRow(name) << QString::fromLatin1(text) << false << result << date << time;
    };
    const auto bad = [](const char *name, const char *text) {
        QTest::newRow(name) << QString::fromLatin1(text) << true << 0.0 << 0.0 << 0.0;
    };
    const QDate mar5(1999, 3, 5);
    ok("midnight gets one second", "050399 0000", ole(mar5, 0, 0, 1), ole(mar5), 1 / 86400.0);
    ok("31 April rolls into May", "310412 1230", ole({2012, 5, 1}, 12, 30), ole({2012, 5, 1}),
       ole({1899, 12, 30}, 12, 30));
    ok("31 February of a leap year", "310212 0800", ole({2012, 3, 2}, 8), ole({2012, 3, 2}),
       8 / 24.0);
    ok("year 29 is 2029", "280229 2359", ole({2029, 2, 28}, 23, 59), ole({2029, 2, 28}),
       ole({1899, 12, 30}, 23, 59));
    ok("year 30 is 1930", "010130 0001", ole({1930, 1, 1}, 0, 1), ole({1930, 1, 1}), 60 / 86400.0);
    ok("year 00 is 2000", "311200 1000", ole({2000, 12, 31}, 10), ole({2000, 12, 31}), 10 / 24.0);
    ok("year 99 is 1999", "311299 2359", ole({1999, 12, 31}, 23, 59), ole({1999, 12, 31}),
       ole({1899, 12, 30}, 23, 59));
    ok("hour 24 shows 00 of the same date", "150626 2430", ole({2026, 6, 15}, 0, 30),
       ole({2026, 6, 15}), 1 + 30 / 1440.0);
    ok("hour 24 sharp", "010100 2400", ole({2000, 1, 1}), ole({2000, 1, 1}), 1.0);
    ok("separator is not read", "010221X1315", ole({2021, 2, 1}, 13, 15), ole({2021, 2, 1}),
       ole({1899, 12, 30}, 13, 15));
    bad("day 0", "000112 1200");
    bad("day 32", "320112 1200");
    bad("month 0", "010012 1200");
    bad("month 13", "011312 1200");
    bad("hour 25", "010112 2500");
    bad("minute 60", "010112 1260");
    bad("negative minute", "010112 12-1");
    bad("blank day", "  0112 1200");
    bad("letters in the year", "0101A2 1200");
    bad("empty", "");
    bad("cut short", "050399 123");
    bad("date only", "050399");
}

void TestFieldHelpers::deviceDateTime()
{
    QFETCH(QString, text);
    QFETCH(bool, error);
    QFETCH(double, result);
    QFETCH(double, datePart);
    QFETCH(double, timePart);
    bool gotError = !error;
    double gotDate = -1, gotTime = -1;
    const double got = ParseDeviceDateTime(text, gotError, gotDate, gotTime);
    QCOMPARE(gotError, error);
    // Stored values must match to well under a second.
    QVERIFY2(qAbs(got - result) < 1e-7, qPrintable(QString::number(got, 'f', 8)));
    QVERIFY2(qAbs(gotDate - datePart) < 1e-7, qPrintable(QString::number(gotDate, 'f', 8)));
    QVERIFY2(qAbs(gotTime - timePart) < 1e-7, qPrintable(QString::number(gotTime, 'f', 8)));
}

void TestFieldHelpers::deviceDateTimeIgnoresRegionalSettings_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("midnight") << "050399 0000";
    QTest::newRow("roll-over") << "310412 1230";
    QTest::newRow("hour 24") << "150626 2430";
    QTest::newRow("afternoon") << "121226 1403";
}

void TestFieldHelpers::deviceDateTimeIgnoresRegionalSettings()
{
    QFETCH(QString, text);
    const QLocale saved;
    double results[2][3] = {};
    const QLocale locales[2] = {QLocale(QLocale::German, QLocale::Germany),
                                QLocale(QLocale::English, QLocale::UnitedStates)};
    for (int i = 0; i < 2; ++i) {
        QLocale::setDefault(locales[i]);
        bool error = true;
        results[i][0] = ParseDeviceDateTime(text, error, results[i][1], results[i][2]);
        QVERIFY(!error);
    }
    QLocale::setDefault(saved);
    for (int k = 0; k < 3; ++k)
        QCOMPARE(results[0][k], results[1][k]);
}

void TestFieldHelpers::deviceText_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("in");
    QTest::addColumn<QString>("out");

    QString codes;
    for (int c = 1; c <= 31; ++c)
        codes += QChar(c);
    const QString german = expectedForCodes(QStringLiteral(".............äÄöÖüÜßΩµ°&......."));
    const QString turkish = expectedForCodes(QStringLiteral("...ç.........äÄöÖüÜßΩµ°&ı.şŞ.İ."));
    const QString nordic = expectedForCodes(QStringLiteral("æÆ.ç.ëï......äÄöÖüÜßΩµ°&ØøéÉåÅ."));
    const QString southSlav = QStringLiteral("......äÄöÖüÜßΩµ°&žČŽ....");
    const struct
    {
        const char *language;
        QString out;
    } rows[] = {
        {"00", german},
        {"21", german},
        {"", german},
        {"xy", german},
        {"01", turkish},
        {"02", turkish},
        {"04", turkish},
        {"20", turkish},
        {"19", expectedForCodes(QStringLiteral("...çğ........äÄöÖüÜßΩµ°&ı.şŞ.İ."))},
        {"03", expectedForCodes(QStringLiteral("àèéçîâë......äÄöÖüÜßΩµ°&ôùê...."))},
        {"05", expectedForCodes(QStringLiteral("áÁà¡ç........äÄöÖüÜßΩµ°&êíóéô.."))},
        {"06", expectedForCodes(QStringLiteral("áÁàçúâã......äÄöÖüÜßΩµ°&êíóéô.."))},
        {"07", expectedForCodes(QStringLiteral("áÁàãúçÓ......äÄöÖüÜßΩµ°&êíóéô.."))},
        {"08", nordic},
        {"09", nordic},
        {"10", nordic},
        {"11", nordic},
        {"12", nordic},
        {"13", expectedForCodes(QStringLiteral("ąćęłńśż......äÄöÖüÜßΩµ°&Δó....."))},
        {"14", expectedForCodes(QStringLiteral("áéÉőűúÓ......äÄöÖüÜßΩµ°&íóÁÍÚ.."))},
        {"15", expectedForCodes(QStringLiteral("čČéťďňě......íŘřšĚÚůΩµ°&ýÝžÍáŠó"))},
        {"16", expectedForCodes(QStringLiteral("čŠšç...") + southSlav)},
        {"17", expectedForCodes(QStringLiteral("čŠšćçđĐ") + southSlav)},
        {"18", expectedForCodes(QStringLiteral("čŠšçćđĐ") + southSlav)},
    };
    for (const auto &r : rows)
        QTest::newRow(
            qPrintable(QStringLiteral("codes, language '%1'").arg(QLatin1String(r.language))))
            << QString::fromLatin1(r.language) << codes << r.out;

    QTest::newRow("plain text unchanged") << "03"
                                          << "Melder 12 Ä/ä #5"
                                          << "Melder 12 Ä/ä #5";
    QTest::newRow("mixed French") << "03"
                                  << QStringLiteral("Temp") + QChar(3) +
                                         QStringLiteral("rature 40") + QChar(23)
                                  << QStringLiteral("Température 40°");
    QTest::newRow("blank language code") << " 3" << QString(QChar(3)) << QStringLiteral("é");
    QTest::newRow("empty text") << "01"
                                << ""
                                << "";
}

void TestFieldHelpers::deviceText()
{
    QFETCH(QString, language);
    QFETCH(QString, in);
    QFETCH(QString, out);
    const QString got = ConvertDeviceText(in, language);
    QCOMPARE(got.size(), in.size());
    for (qsizetype i = 0; i < got.size(); ++i)
        QVERIFY2(got.at(i) == out.at(i),
                 qPrintable(QStringLiteral("code %1 gave U+%2, expected U+%3")
                                .arg(in.at(i).unicode())
                                .arg(got.at(i).unicode(), 4, 16, QLatin1Char('0'))
                                .arg(out.at(i).unicode(), 4, 16, QLatin1Char('0'))));
}

QTEST_GUILESS_MAIN(TestFieldHelpers)
#include "tst_fieldhelpers.moc"
