// Printing through the PDF entry of the printer list, checked on the text of the file.

#include "core/TextTable.h"
#include "print_test_helper.h"
#include "view/frm_drucken.h"

#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSortFilterProxyModel>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace qvr;
using namespace qvr::printtest;

namespace {

QString run(const QString &tool, const QStringList &args)
{
    QProcess p;
    p.start(tool, args);
    return p.waitForFinished(30000) && p.exitCode() == 0 ? QString::fromUtf8(p.readAllStandardOutput())
                                                         : QString();
}

QString pageText(const QString &pdf, int page)
{
    const QString n = QString::number(page);
    return run("pdftotext", {"-layout", "-f", n, "-l", n, pdf, "-"});
}

int pdfPages(const QString &pdf)
{
    const auto m = QRegularExpression("Pages:\\s+(\\d+)").match(run("pdfinfo", {pdf}));
    return m.hasMatch() ? m.captured(1).toInt() : 0;
}

// Rows for a printout of exactly `pages` pages (the last one partly filled).
int rowsForPages(int pages)
{
    Texts texts;
    RecordingAsker asker;
    GridModel grid;
    grid.rows = GridModel::makeRows(300);
    frm_drucken probe(texts, asker, {&grid, "", "3.4", "T"}, {});
    probe.load();
    return int(probe.document().placedOnPage(1).size() - 1) * (pages - 1) + 5;
}

} // namespace

class TestPrintPdf : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void sevenPagesInGridOrder();
    void printing_data();
    void printing();

private:
    QTemporaryDir m_dir;
};

void TestPrintPdf::initTestCase()
{
    if (QStandardPaths::findExecutable("pdftotext").isEmpty()
        || QStandardPaths::findExecutable("pdfinfo").isEmpty())
        QSKIP("poppler-utils (pdftotext, pdfinfo) is not installed");
    QVERIFY(m_dir.isValid());
}

// A sorted grid on paper: page header, table header, "Seite p von n", the file's path,
// and the rows in the order the grid shows them, each with the "Nr." the grid shows.
void TestPrintPdf::sevenPagesInGridOrder()
{
    Texts texts;
    RecordingAsker asker;
    GridModel grid;
    grid.rows = GridModel::makeRows(rowsForPages(7));
    QSortFilterProxyModel sorted; // the grid after a click on "Typ"
    sorted.setSourceModel(&grid);
    sorted.sort(8);
    QStringList expectedOrder;
    for (int r = 0; r < sorted.rowCount(); ++r)
        expectedOrder << sorted.index(r, 12).data().toString();
    QVERIFY(expectedOrder.first() != "Meldung-00000");

    const QString his = "/home/service/Anlagen/Werk 2.his";
    frm_drucken form(texts, asker, {&sorted, his, "3.4", "T"}, {});
    form.load();
    asker.saveAnswer = m_dir.filePath("all.pdf");
    form.findChild<QPushButton *>("Command1")->click();
    QCOMPARE(pdfPages(asker.saveAnswer), 7);

    QStringList printedOrder;
    const QRegularExpression row("^\\s*(\\d+)\\s.*Meldung-(\\d{5})");
    for (int p = 1; p <= 7; ++p) {
        const QString text = pageText(asker.saveAnswer, p);
        QVERIFY2(text.contains("QVR-History Version 3.4"), qPrintable(text.left(300)));
        QVERIFY(text.contains(QString("Seite %1 von 7").arg(p)));
        QVERIFY(text.contains(his));
        QVERIFY(text.contains(QString::fromUtf8("Geräteadr.")));
        for (const QString &line : text.split('\n')) {
            if (const auto m = row.match(line); m.hasMatch()) {
                printedOrder << "Meldung-" + m.captured(2);
                QCOMPARE(m.captured(1).toInt(), m.captured(2).toInt() + 1);
            }
        }
    }
    QCOMPARE(printedOrder, expectedOrder);
    // Header and body in the Courier New face or its metric twin.
    const QString fonts = run("pdffonts", {asker.saveAnswer});
    QVERIFY2(QRegularExpression("(Mono|Courier)\\S*Bold").match(fonts).hasMatch(), qPrintable(fonts));
}

void TestPrintPdf::printing_data()
{
    QTest::addColumn<int>("option");
    QTest::addColumn<QString>("range");     // Text1 and Text2, separated by "-"
    QTest::addColumn<int>("shownPage");     // preview page when printing
    QTest::addColumn<QString>("answer");    // the file the user names
    QTest::addColumn<QString>("written");   // the file expected, "" for none
    QTest::addColumn<int>("pages");
    QTest::addColumn<int>("firstPrinted");
    QTest::addColumn<QString>("message");

    const QString numbers = "Bitte geben Sie die erste und die letzte Seite als ganze Zahlen ein.";
    const QString outside = "Das Dokument hat nur die Seiten 1 bis 7.";
    QTest::newRow("all") << 0 << "-" << 3 << "a.pdf" << "a.pdf" << 7 << 1 << "";
    QTest::newRow("current page") << 1 << "-" << 3 << "c.pdf" << "c.pdf" << 1 << 3 << "";
    QTest::newRow("pages 2 to 4") << 2 << "2-4" << 1 << "r.pdf" << "r.pdf" << 3 << 2 << "";
    QTest::newRow("one page, blanks") << 2 << " 7 -7" << 1 << "o.pdf" << "o.pdf" << 1 << 7 << "";
    QTest::newRow("name without suffix") << 0 << "-" << 1 << "bericht" << "bericht.pdf" << 7 << 1 << "";
    QTest::newRow("not a number") << 2 << "zwei-4" << 1 << "n.pdf" << "" << 0 << 0 << numbers;
    QTest::newRow("empty range") << 2 << "-" << 1 << "e.pdf" << "" << 0 << 0 << numbers;
    QTest::newRow("out of order") << 2 << "5-2" << 1 << "x.pdf" << "" << 0 << 0
                                  << "Die erste Seite darf nicht hinter der letzten Seite liegen.";
    QTest::newRow("beyond the last page") << 2 << "6-8" << 1 << "b.pdf" << "" << 0 << 0 << outside;
    QTest::newRow("page 0") << 2 << "0-2" << 1 << "z.pdf" << "" << 0 << 0 << outside;
    QTest::newRow("dialog cancelled") << 0 << "-" << 1 << "" << "" << 0 << 0 << "";
    QTest::newRow("folder missing") << 0 << "-" << 1 << "no/such/dir/f.pdf" << "" << 0 << 0
                                    << "Der Druck ist fehlgeschlagen. Bitte prüfen Sie den Drucker oder die Zieldatei.";
}

// Only a print that happened says "ende"; a refused range or a failed file says why.
void TestPrintPdf::printing()
{
    QFETCH(int, option);
    QFETCH(QString, range);
    QFETCH(int, shownPage);
    QFETCH(QString, answer);
    QFETCH(QString, written);
    QFETCH(int, pages);
    QFETCH(int, firstPrinted);
    QFETCH(QString, message);

    Texts texts;
    RecordingAsker asker;
    GridModel grid;
    grid.rows = GridModel::makeRows(rowsForPages(7));
    frm_drucken form(texts, asker, {&grid, "/daten/werk.his", "3.4", "T"}, {});
    form.load();
    asker.messages.clear(); // "no printer installed" on this machine
    const QString dir = m_dir.filePath(QTest::currentDataTag());
    QVERIFY(QDir().mkpath(dir));
    asker.saveAnswer = answer.isEmpty() ? QString() : dir + "/" + answer;

    for (int i = 1; i < shownPage; ++i)
        form.findChild<QPushButton *>("Cmdprev(3)")->click();
    form.findChild<QRadioButton *>(QString("Option1(%1)").arg(option))->setChecked(true);
    form.findChild<QLineEdit *>("Text1")->setText(range.section('-', 0, 0));
    form.findChild<QLineEdit *>("Text2")->setText(range.section('-', 1, 1));
    form.findChild<QPushButton *>("Command1")->click();

    QCOMPARE(asker.messages.size(), message.isEmpty() ? 0 : 1);
    if (!message.isEmpty())
        QCOMPARE(asker.messages.first().text, message);
    QCOMPARE(QDir(dir).entryList(QDir::Files), written.isEmpty() ? QStringList() : QStringList{written});
    QCOMPARE(form.findChild<QPushButton *>("Command2")->text(),
             written.isEmpty() ? QString("Abbruch") : QString("ende"));
    if (!written.isEmpty()) {
        QCOMPARE(pdfPages(dir + "/" + written), pages);
        QVERIFY(pageText(dir + "/" + written, 1).contains(QString("Seite %1 von 7").arg(firstPrinted)));
    }
}

QTEST_MAIN(TestPrintPdf)
#include "tst_print_pdf.moc"
