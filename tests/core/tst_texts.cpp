#include "core/TextTable.h"

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

using namespace qvr;

class TestTexts : public QObject
{
    Q_OBJECT

private slots:
    void builtInTableIsWellFormed();
    void everyIdTheCodeAsksForExistsInBothLanguages();
    void parseRejectsBadLines();
};

void TestTexts::builtInTableIsWellFormed()
{
    QFile f(QStringLiteral(QVR_SOURCE_DIR "/resources/texts.tsv"));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QString error;
    const TextTable t = TextTable::parse(QString::fromUtf8(f.readAll()), &error);
    QVERIFY2(error.isEmpty(), qPrintable("malformed or duplicate text line: " + error));
    QCOMPARE(TextTable::builtIn().ids().size(), t.ids().size());
}

// Scans the sources for ResText(<number>) and checks both languages are in the table, so
// no window ever shows an empty label.
void TestTexts::everyIdTheCodeAsksForExistsInBothLanguages()
{
    const TextTable &table = TextTable::builtIn();
    const QRegularExpression call(QStringLiteral("ResText\\(\\s*(\\d+)\\s*[,)]"));
    QStringList missing;
    QDirIterator it(QStringLiteral(QVR_SOURCE_DIR "/src"), {"*.cpp", "*.h"}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile f(it.next());
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QString code = QString::fromUtf8(f.readAll());
        for (auto m = call.globalMatch(code); m.hasNext();) {
            const int id = m.next().captured(1).toInt();
            if (id % 10 != 0 || !table.contains(id) || !table.contains(id + 1))
                missing << QStringLiteral("%1 in %2").arg(id).arg(it.fileName());
        }
    }
    QVERIFY2(missing.isEmpty(), qPrintable(missing.join(", ")));
}

void TestTexts::parseRejectsBadLines()
{
    QString error;
    // 101 is not a German base id; the second 100 would overwrite the first.
    const TextTable t = TextTable::parse("# comment\n100\tA\tB\n101\tC\tD\n100\tE\tF\n", &error);
    QVERIFY(error.startsWith("line 3:"));
    QCOMPARE(t.text(100), QString("A"));
    QCOMPARE(t.text(101), QString("B"));
    error.clear();
    const TextTable escaped = TextTable::parse("200\tZeile 1\\nZeile 2\tLine 1\\nLine 2\n", &error);
    QVERIFY(error.isEmpty());
    QCOMPARE(escaped.text(201), QString("Line 1\nLine 2"));
}

QTEST_GUILESS_MAIN(TestTexts)
#include "tst_texts.moc"
