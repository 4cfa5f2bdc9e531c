// The standard texts file: built from a readable source, opened per language, looked up
// by number; a missing file, language or broken source is an error, never a crash.

#include "store/StandardTexts.h"
#include "store/StandardTextsBuilder.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace qvr;

class tst_StandardTexts : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void lookup_data();
    void lookup();
    void openErrors_data();
    void openErrors();
    void brokenSource_data();
    void brokenSource();

private:
    QTemporaryDir m_dir;
};

void tst_StandardTexts::initTestCase()
{
    QString error;
    QVERIFY2(StandardTextsBuilder::buildFromFile(QStringLiteral(QVR_SOURCE_DIR "/resources/standard-texts-sample.tsv"),
                                                 m_dir.filePath("Standardtexte.bdb"), &error),
             qPrintable(error));
}

void tst_StandardTexts::lookup_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<int>("number");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("01 1001") << "01" << 1001 << true
                             << QStringList{"Beispieltext 1001", "Musterzeile zwei", "Musterzeile drei"};
    QTest::newRow("01 empty third line") << "01" << 1002 << true
                                         << QStringList{"Beispieltext 1002", "Füllstand prüfen", ""};
    QTest::newRow("01 empty first line") << "01" << 1003 << true
                                         << QStringList{"", "Erste Zeile leer", "Beispiel 1003"};
    QTest::newRow("02 1010") << "02" << 1010 << true
                             << QStringList{"Sample text 1010", "Sample fault", "Line three"};
    QTest::newRow("02 not there") << "02" << 1004 << false << QStringList{};
    QTest::newRow("01 below the range") << "01" << 12 << false << QStringList{};
}

void tst_StandardTexts::lookup()
{
    QFETCH(QString, language);
    QFETCH(int, number);
    QFETCH(bool, found);
    QFETCH(QStringList, lines);
    StandardTexts texts(m_dir.path());
    QString error;
    QVERIFY2(texts.OpenStandardTexts(language, &error), qPrintable(error));
    bool gotFound = !found;
    QStringList gotLines{"stale"};
    QVERIFY2(texts.lookup(number, &gotFound, &gotLines, &error), qPrintable(error));
    QCOMPARE(gotFound, found);
    QCOMPARE(gotLines, lines);
    // Fields by position, as the decoders read them.
    if (found)
        QCOMPARE(texts.gStandardTextRecordset->field(0).toInt(), number);
}

void tst_StandardTexts::openErrors_data()
{
    QTest::addColumn<QString>("folder");  // "" = the folder with the sample file
    QTest::addColumn<QString>("language");
    QTest::newRow("no such language") << "" << "07";
    QTest::newRow("empty language") << "" << "";
    QTest::newRow("language with SQL") << "" << "01; DELETE FROM 01";
    QTest::newRow("missing file") << "missing" << "01";
}

void tst_StandardTexts::openErrors()
{
    QFETCH(QString, folder);
    QFETCH(QString, language);
    StandardTexts texts(folder.isEmpty() ? m_dir.path() : m_dir.filePath(folder));
    QString error;
    QVERIFY(!texts.OpenStandardTexts(language, &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!texts.gStandardTextRecordset);
    bool found = true;
    QVERIFY(!texts.lookup(1001, &found, nullptr, &error));

    // The file is unchanged by any of it.
    StandardTexts good(m_dir.path());
    QVERIFY(good.OpenStandardTexts("01", &error));
    QCOMPARE(good.gStandardTextRecordset->recordCount(), 4);
}

void tst_StandardTexts::brokenSource_data()
{
    QTest::addColumn<QString>("source");
    QTest::newRow("nothing") << "# only a comment\n";
    QTest::newRow("number missing") << "01\tabc\tx\ty\tz\n";
    QTest::newRow("too many columns") << "01\t1001\ta\tb\tc\td\n";
    QTest::newRow("bad table name") << "0 1\t1001\ta\tb\tc\n";
    QTest::newRow("line too long") << "01\t1001\t" + QString(256, 'x') + "\n";
}

void tst_StandardTexts::brokenSource()
{
    QFETCH(QString, source);
    const QString target = m_dir.filePath("broken.bdb");
    QString error;
    QVERIFY(!StandardTextsBuilder::build(source, target, &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!QFile::exists(target));
    QVERIFY(!QFile::exists(target + ".part"));
}

QTEST_GUILESS_MAIN(tst_StandardTexts)
#include "tst_standardtexts.moc"
