#include "decode/FieldHelpers.h"

#include <QDate>
#include <QTest>

using namespace qvr;

namespace {

// Days since 30 December 1899 counted by QDate, independent of the decoder's arithmetic.
double ole(const QDate &d, int h = 0, int m = 0, int s = 0)
{
    return QDate(1899, 12, 30).daysTo(d) + (h * 3600 + m * 60 + s) / 86400.0;
}

} // namespace

class TestFieldHelpers : public QObject
{
    Q_OBJECT

private slots:
    void numbers();
    void deviceDateTime();
    void deviceText();
};

void TestFieldHelpers::numbers()
{
    // Text, as a 16-bit number, as a measurement; "-" where refused.
    for (const char *row :
         {"|0|0", "  42 |42|42", "-5|-5|-5", "+5|5|5", "32767|32767|32767", "32768|-|32768",
          "-32768|-32768|-32768", "-32769|-|-32769", "1O|-|-", "1 2|-|-", "-|-|-", "12,50|-|12.5",
          "-012.5|-|-12.5", "1.2.3|-|-", "1e4|-|-"}) {
        const QStringList p = QString::fromLatin1(row).split('|');
        bool ok = false;
        const qint16 i = TextToInt(p[0], ok);
        QCOMPARE(ok ? QString::number(i) : "-", p[1]);
        const double d = TextToDouble(p[0], ok);
        QCOMPARE(ok ? QString::number(d) : "-", p[2]);
    }
}

void TestFieldHelpers::deviceDateTime()
{
    const QDate mar5(1999, 3, 5), may1(2012, 5, 1), feb28(2029, 2, 28), jan1(1930, 1, 1);
    const QDate jun15(2026, 6, 15);
    const auto check = [](const char *text, double result, double datePart, double timePart) {
        bool error = result >= 0;
        double date = -1, time = -1;
        const double got = ParseDeviceDateTime(QString::fromLatin1(text), error, date, time);
        // Well under a second; a refused text leaves all three 0.
        QVERIFY2(error == (result < 0) && qAbs(got - qMax(result, 0.0)) < 1e-7 &&
                     qAbs(date - datePart) < 1e-7 && qAbs(time - timePart) < 1e-7,
                 qPrintable(QStringLiteral("%1: %2 %3 %4").arg(text).arg(got).arg(date).arg(time)));
    };
    check("050399 0000", ole(mar5, 0, 0, 1), ole(mar5), 1 / 86400.0); // midnight keeps a second
    check("310412 1230", ole(may1, 12, 30), ole(may1), 0.5 + 30 / 1440.0); // 31 April: 1 May
    check("280229 2359", ole(feb28, 23, 59), ole(feb28), 1439 / 1440.0);
    check("010130 0001", ole(jan1, 0, 1), ole(jan1), 1 / 1440.0);
    // Hour 24 shows 00 of the same date; the time part keeps the whole day.
    check("150626 2430", ole(jun15, 0, 30), ole(jun15), 1 + 30 / 1440.0);
    for (const char *bad : {"000112 1200", "320112 1200", "010012 1200", "011312 1200",
                            "010112 2500", "010112 1260", "0101A2 1200", "050399 123"})
        check(bad, -1, 0, 0);
}

void TestFieldHelpers::deviceText()
{
    QString codes;
    for (int c = 1; c <= 31; ++c)
        codes += QChar(c);
    // Codes 1 to 31 in the given message text languages; '.' where the code stays as it is.
    const auto check = [&](const char *languages, const QString &pattern) {
        QString want = pattern;
        for (int i = 0; i < want.size(); ++i)
            want[i] = want[i] == '.' ? codes[i] : want[i];
        for (const QString &language : QString::fromLatin1(languages).split(' '))
            QVERIFY2(ConvertDeviceText(codes, language) == want, qPrintable(language));
    };
    const QString u = QStringLiteral("äÄöÖüÜßΩµ°&"); // codes 14 to 24 unless a language maps them
    check("00 21 xy", QStringLiteral(".............") + u + QStringLiteral("......."));
    check("01 02 04 20", QStringLiteral("...ç.........") + u + QStringLiteral("ı.şŞ.İ."));
    check("19", QStringLiteral("...çğ........") + u + QStringLiteral("ı.şŞ.İ."));
    check("03", QStringLiteral("àèéçîâë......") + u + QStringLiteral("ôùê...."));
    check("05", QStringLiteral("áÁà¡ç........") + u + QStringLiteral("êíóéô.."));
    check("06", QStringLiteral("áÁàçúâã......") + u + QStringLiteral("êíóéô.."));
    check("07", QStringLiteral("áÁàãúçÓ......") + u + QStringLiteral("êíóéô.."));
    check("08 09 10 11 12", QStringLiteral("æÆ.ç.ëï......") + u + QStringLiteral("ØøéÉåÅ."));
    check("13", QStringLiteral("ąćęłńśż......") + u + QStringLiteral("Δó....."));
    check("14", QStringLiteral("áéÉőűúÓ......") + u + QStringLiteral("íóÁÍÚ.."));
    check("15", QStringLiteral("čČéťďňě......íŘřšĚÚůΩµ°&ýÝžÍáŠó"));
    const QString southSlav = QStringLiteral("......") + u + QStringLiteral("žČŽ....");
    check("16", QStringLiteral("čŠšç...") + southSlav);
    check("17", QStringLiteral("čŠšćçđĐ") + southSlav);
    check("18", QStringLiteral("čŠšçćđĐ") + southSlav);
    // Letters of the text are left alone; a blank around the language code is allowed.
    QCOMPARE(ConvertDeviceText(QStringLiteral("Temp\x03rature 40\x17 Ä"), QStringLiteral(" 3")),
             QStringLiteral("Température 40° Ä"));
}

QTEST_GUILESS_MAIN(TestFieldHelpers)
#include "tst_fieldhelpers.moc"
