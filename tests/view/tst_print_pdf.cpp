// Printing through the PDF entry of the printer list, checked on the text of the file.

#include "core/TextTable.h"
#include "print_test_helper.h"
#include "view/PrintDocument.h"
#include "view/frm_drucken.h"

#include <QComboBox>
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

#include <memory>

using namespace qvr;
using namespace qvr::printtest;

class TestPrintPdf : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void sevenPagesInGridOrder();
    void range_data();
    void range();
    void noFileWritten_data();
    void noFileWritten();

private:
    static QString run(const QString &tool, const QStringList &args)
    {
        QProcess p;
        p.start(tool, args);
        if (!p.waitForFinished(30000) || p.exitCode() != 0)
            return QString();
        return QString::fromUtf8(p.readAllStandardOutput());
    }
    static QString pageText(const QString &pdf, int page)
    {
        return run("pdftotext", {"-layout", "-f", QString::number(page), "-l",
                                 QString::number(page), pdf, "-"});
    }
    static int pdfPages(const QString &pdf)
    {
        const auto m = QRegularExpression("Pages:\\s+(\\d+)").match(run("pdfinfo", {pdf}));
        return m.hasMatch() ? m.captured(1).toInt() : -1;
    }
    // Body rows on the first page of a printout of more than one page.
    static int rowsPerPage(frm_drucken &form)
    {
        return int(form.document().placedOnPage(1).size()) - 1;
    }

    struct Setup
    {
        Texts texts;
        RecordingAsker asker;
        GridModel grid;
        std::unique_ptr<frm_drucken> form;
        QPushButton *print() const { return form->findChild<QPushButton *>("Command1"); }
        QPushButton *close() const { return form->findChild<QPushButton *>("Command2"); }
    };
    // A window over a 7-page grid printing to `pdf`.
    std::unique_ptr<Setup> sevenPages(const QString &pdf)
    {
        auto s = std::make_unique<Setup>();
        s->grid.rows = GridModel::makeRows(300);
        s->form = std::make_unique<frm_drucken>(
            s->texts, s->asker, frm_drucken::Source{&s->grid, "/daten/werk.his", "3.4", "T"},
            PrinterCatalog{});
        s->form->load();
        const int perPage = rowsPerPage(*s->form);
        s->grid.rows = GridModel::makeRows(perPage * 6 + 3);
        s->form = std::make_unique<frm_drucken>(
            s->texts, s->asker, frm_drucken::Source{&s->grid, "/daten/werk.his", "3.4", "T"},
            PrinterCatalog{});
        s->form->load();
        s->asker.messages.clear(); // "no printer installed" on this machine
        s->asker.saveAnswer = pdf;
        return s;
    }

    QTemporaryDir m_dir;
};

void TestPrintPdf::initTestCase()
{
    if (QStandardPaths::findExecutable("pdftotext").isEmpty()
        || QStandardPaths::findExecutable("pdfinfo").isEmpty())
        QSKIP("poppler-utils (pdftotext, pdfinfo) is not installed");
    QVERIFY(m_dir.isValid());
}

// The whole printout of a sorted grid: page header, table header, "Seite p von n", the
// file's path and the rows in the order the grid shows them, each with its own "Nr.".
void TestPrintPdf::sevenPagesInGridOrder()
{
    Texts texts;
    RecordingAsker asker;
    GridModel grid;
    grid.rows = GridModel::makeRows(300);
    const QString his = "/home/service/Anlagen/Werk 2.his";
    int perPage = 0;
    {
        frm_drucken probe(texts, asker, {&grid, his, "3.4", "T"}, {});
        probe.load();
        perPage = rowsPerPage(probe);
    }
    grid.rows = GridModel::makeRows(perPage * 6 + 5);
    QSortFilterProxyModel sorted; // the grid after a click on "Typ"
    sorted.setSourceModel(&grid);
    sorted.sort(8);
    QStringList expectedOrder;
    for (int r = 0; r < sorted.rowCount(); ++r)
        expectedOrder << sorted.index(r, 12).data().toString();
    QVERIFY(expectedOrder.first() != "Meldung-00000"); // the sort did change the order

    frm_drucken form(texts, asker, {&sorted, his, "3.4", "T"}, {});
    form.load();
    QCOMPARE(form.document().pageCount(), 7);
    const QString pdf = m_dir.filePath("all.pdf");
    asker.saveAnswer = pdf;
    form.findChild<QPushButton *>("Command1")->click();
    QCOMPARE(asker.saveQuestions, 1);
    QCOMPARE(pdfPages(pdf), 7);
    QCOMPARE(form.findChild<QPushButton *>("Command2")->text(), QString("ende"));

    QStringList printedOrder;
    const QRegularExpression marker("^\\s*(\\d+)\\s.*(Meldung-\\d{5})");
    for (int p = 1; p <= 7; ++p) {
        const QString text = pageText(pdf, p);
        QVERIFY2(text.contains("QVR-History Version 3.4"), qPrintable(text.left(300)));
        QVERIFY(text.contains(QString("Seite %1 von 7").arg(p)));
        QVERIFY(text.contains(his));
        QVERIFY(text.contains(QString::fromUtf8("Geräteadr.")));
        for (const QString &line : text.split('\n')) {
            const auto m = marker.match(line);
            if (!m.hasMatch())
                continue;
            printedOrder << m.captured(2);
            // "Nr." is the number the grid shows for this row, not its place on paper.
            QCOMPARE(m.captured(1).toInt(), m.captured(2).mid(8).toInt() + 1);
        }
    }
    QCOMPARE(printedOrder, expectedOrder);

    const QString fonts = run("pdffonts", {pdf});
    QVERIFY2(QRegularExpression("(Mono|Courier)\\S*Bold").match(fonts).hasMatch(), qPrintable(fonts));
}

void TestPrintPdf::range_data()
{
    QTest::addColumn<int>("option");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("last");
    QTest::addColumn<int>("shownPage"); // preview page when printing
    QTest::addColumn<int>("pages");     // pages in the file, 0 when refused
    QTest::addColumn<int>("firstPrinted");
    QTest::addColumn<QString>("message");

    QTest::newRow("all") << 0 << "" << "" << 3 << 7 << 1 << "";
    QTest::newRow("current page") << 1 << "" << "" << 3 << 1 << 3 << "";
    QTest::newRow("pages 2 to 4") << 2 << "2" << "4" << 1 << 3 << 2 << "";
    QTest::newRow("one page with blanks") << 2 << " 7 " << "7" << 1 << 1 << 7 << "";
    QTest::newRow("not a number") << 2 << "zwei" << "4" << 1 << 0 << 0
                                  << "Bitte geben Sie die erste und die letzte Seite als ganze Zahlen ein.";
    QTest::newRow("empty") << 2 << "" << "" << 1 << 0 << 0
                           << "Bitte geben Sie die erste und die letzte Seite als ganze Zahlen ein.";
    QTest::newRow("out of order") << 2 << "5" << "2" << 1 << 0 << 0
                                  << "Die erste Seite darf nicht hinter der letzten Seite liegen.";
    QTest::newRow("beyond the last page") << 2 << "6" << "8" << 1 << 0 << 0
                                          << "Das Dokument hat nur die Seiten 1 bis 7.";
    QTest::newRow("page 0") << 2 << "0" << "2" << 1 << 0 << 0
                            << "Das Dokument hat nur die Seiten 1 bis 7.";
}

void TestPrintPdf::range()
{
    QFETCH(int, option);
    QFETCH(QString, first);
    QFETCH(QString, last);
    QFETCH(int, shownPage);
    QFETCH(int, pages);
    QFETCH(int, firstPrinted);
    QFETCH(QString, message);

    const QString pdf = m_dir.filePath(QString("range-%1.pdf").arg(QTest::currentDataTag()));
    const auto s = sevenPages(pdf);
    for (int i = 1; i < shownPage; ++i)
        s->form->findChild<QPushButton *>("Cmdprev(3)")->click();
    s->form->findChild<QRadioButton *>(QString("Option1(%1)").arg(option))->setChecked(true);
    s->form->findChild<QLineEdit *>("Text1")->setText(first);
    s->form->findChild<QLineEdit *>("Text2")->setText(last);
    s->print()->click();

    if (pages == 0) {
        QCOMPARE(s->asker.messages.size(), 1);
        QCOMPARE(s->asker.messages.first().text, message);
        QVERIFY(!QFile::exists(pdf));
        QCOMPARE(s->close()->text(), QString("Abbruch"));
        return;
    }
    QVERIFY(s->asker.messages.isEmpty());
    QCOMPARE(pdfPages(pdf), pages);
    QVERIFY(pageText(pdf, 1).contains(QString("Seite %1 von 7").arg(firstPrinted)));
    QCOMPARE(s->close()->text(), QString("ende"));
}

void TestPrintPdf::noFileWritten_data()
{
    QTest::addColumn<QString>("answer"); // the file the user names
    QTest::addColumn<QString>("written");
    QTest::addColumn<bool>("failureShown");
    QTest::newRow("dialog cancelled") << "" << "" << false;
    QTest::newRow("folder does not exist") << "missing/dir/out.pdf" << "" << true;
    QTest::newRow("name without suffix") << "bericht" << "bericht.pdf" << false;
}

// Printing that did not happen never looks done; a name without ".pdf" gets it.
void TestPrintPdf::noFileWritten()
{
    QFETCH(QString, answer);
    QFETCH(QString, written);
    QFETCH(bool, failureShown);
    const auto s = sevenPages(answer.isEmpty() ? QString() : m_dir.filePath(answer));
    s->print()->click();
    QCOMPARE(s->asker.saveQuestions, 1);
    QCOMPARE(s->asker.messages.size(), failureShown ? 1 : 0);
    if (failureShown)
        QCOMPARE(s->asker.messages.first().icon, Asker::Icon::Critical);
    if (written.isEmpty()) {
        QCOMPARE(s->close()->text(), QString("Abbruch"));
    } else {
        QCOMPARE(pdfPages(m_dir.filePath(written)), 7);
        QCOMPARE(s->close()->text(), QString("ende"));
    }
}

QTEST_MAIN(TestPrintPdf)
#include "tst_print_pdf.moc"
