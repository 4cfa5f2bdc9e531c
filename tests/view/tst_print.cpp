// The printout's layout and the print window's controls; printing through the PDF entry
// of the printer list, checked on the text of the file.

#include "core/TextTable.h"
#include "view/CsvExport.h"
#include "view/frm_drucken.h"
#include "view_helper.h"

#include <QBuffer>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

#include <memory>

using namespace qvr;
using namespace qvr::viewtest;

namespace {

struct Window
{
    Texts texts;
    FakeAsker asker;
    GridModel grid;
    std::unique_ptr<frm_drucken> form;

    explicit Window(int rows, int language = 0, PrinterCatalog printers = {},
                    const QString &path = "/daten/anlage.his")
    {
        texts.gLanguageOffset = qint16(language);
        grid.rows = GridModel::makeRows(rows);
        form = std::make_unique<frm_drucken>(texts, asker,
                                             frm_drucken::Source{&grid, path, "3.4", "QVR-HISTORY"},
                                             std::move(printers));
    }
    const PrintDocument &doc() const { return form->document(); }
    void click(const QString &name) const { form->findChild<QPushButton *>(name)->click(); }
    QString label(const QString &name) const { return form->findChild<QLabel *>(name)->text(); }
};

// Body rows on a full page.
int rowsPerPage()
{
    Window w(300);
    w.form->load();
    return int(w.doc().placedOnPage(1).size()) - 1;
}

QString run(const QString &tool, const QStringList &args)
{
    QProcess p;
    p.start(tool, args);
    return p.waitForFinished(30000) && p.exitCode() == 0
               ? QString::fromUtf8(p.readAllStandardOutput())
               : QString();
}

} // namespace

class TestPrint : public QObject
{
    Q_OBJECT

private slots:
    void headerRow();
    void pagination_data();
    void pagination();
    void printedCells_data();
    void printedCells();
    void wideCellsWrapWithoutLoss_data();
    void wideCellsWrapWithoutLoss();
    void zoom_data();
    void zoom();
    void navigation_data();
    void navigation();
    void printerList_data();
    void printerList();
    void footerPath_data();
    void footerPath();
    void csvBytes_data();
    void csvBytes();
    void printing_data();
    void printing();

private:
    QTemporaryDir m_dir;
};

void TestPrint::headerRow()
{
    Window w(3, 1);
    w.form->load();
    QCOMPARE(w.doc().headerCells(0).join('|'),
             QString("No.|Dev. Adr.|Start|Mute|Stop|Type|Test|Address/Ch.|EIB|Text Line 1|"
                     "Text Line 2|Text Line 3|Min-Value|Max-Value|Device"));
    QCOMPARE(w.doc().pageHeader(), QString("QVR-History Version 3.4"));
}

void TestPrint::pagination_data()
{
    const int perPage = rowsPerPage();
    QVERIFY(perPage > 20);
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("pages");
    QTest::newRow("no rows") << 0 << 1;
    QTest::newRow("one full page") << perPage << 1;
    QTest::newRow("two pages and one row") << 2 * perPage + 1 << 3;
}

// Every row is printed once, in grid order, above the bottom margin; each page starts with
// the table header and carries its own page number.
void TestPrint::pagination()
{
    QFETCH(int, rows);
    QFETCH(int, pages);
    Window w(rows);
    w.form->load();
    QCOMPARE(w.doc().pageCount(), pages);
    int next = 0;
    for (int p = 1; p <= pages; ++p) {
        const auto placed = w.doc().placedOnPage(p);
        QCOMPARE(placed.value(0).row, -1);
        for (qsizetype i = 1; i < placed.size(); ++i) {
            QCOMPARE(placed.at(i).row, next++);
            QVERIFY(placed.at(i).y + placed.at(i).height <= w.doc().pageSize().height() - 1000);
        }
        QVERIFY(w.doc().overlayTexts(p).contains(QString("Seite %1 von %2").arg(p).arg(pages)));
    }
    QCOMPARE(next, rows);
}

void TestPrint::printedCells_data()
{
    QTest::addColumn<int>("gridColumn");
    QTest::addColumn<QString>("gridText");
    QTest::addColumn<int>("printedColumn");
    QTest::addColumn<QString>("printed");
    QTest::newRow("semicolons in text line 3") << 14 << "Tor;offen;" << 11 << "Tor,offen,";
    QTest::newRow("semicolon outside text lines stays") << 15 << "1;5" << 12 << "1;5";
    QTest::newRow("stop time") << 6 << "06.12.2026 08:00" << 4 << "06.12.2026 08:00";
    QTest::newRow("long start date on one line")
        << 2 << "12/31/2026 12:03:59 PM" << 2 << "12/31/2026 12:03:59 PM";
    QTest::newRow("device type last") << 17 << "PV" << 14 << "PV";
}

void TestPrint::printedCells()
{
    QFETCH(int, gridColumn);
    QFETCH(QString, gridText);
    QFETCH(int, printedColumn);
    QFETCH(QString, printed);
    Window w(2);
    w.grid.rows[1][gridColumn] = gridText;
    // The hidden sort columns never reach paper.
    w.grid.rows[1][3] = w.grid.rows[1][5] = w.grid.rows[1][7] = "HIDDEN";
    w.form->load();
    const QStringList cells = w.doc().rowCells(0, 1);
    QCOMPARE(cells.size(), 15);
    QCOMPARE(cells.at(printedColumn), printed);
    QCOMPARE(w.doc().cellLines(0, 1, printedColumn).size(), 1);
    QVERIFY(!cells.contains("HIDDEN"));
    // The row's other cells stay in their columns.
    QCOMPARE(cells.at(0), QString("2"));
    QCOMPARE(cells.at(9), gridColumn == 12 ? printed : QString("Meldung-00001"));
}

void TestPrint::wideCellsWrapWithoutLoss_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("lines"); // joined with "|"
    QTest::newRow("words") << "Brandmeldung Halle 3 Nordseite Rolltor bei Rampe 12 offen"
                           << "Brandmeldung Halle 3|Nordseite Rolltor bei|Rampe 12 offen";
    QTest::newRow("one long word") << QString(30, 'X') << QString(21, 'X') + "|" + QString(9, 'X');
    QTest::newRow("after a hyphen") << "Brandmelder-Hauptanschlussverteiler"
                                    << "Brandmelder-|Hauptanschlussverteil|er";
}

// A text wider than its column goes on to further lines of a taller row; nothing is cut.
void TestPrint::wideCellsWrapWithoutLoss()
{
    QFETCH(QString, text);
    QFETCH(QString, lines);
    PrintDocument doc;
    doc.setBodyFont(PrintDocument::makeFont("Courier New", 6, false));
    doc.startDoc();
    QVERIFY(doc.addTable("<+1600|<+400;A|B"));
    doc.addTableRow({text, "x"});
    doc.addTableRow({"-", "y"});
    doc.endDoc();
    QCOMPARE(doc.cellLines(0, 0, 0).join('|'), lines);
    const auto placed = doc.placedOnPage(1);
    QVERIFY(placed.at(1).height > placed.at(2).height);
}

void TestPrint::zoom_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("clicks");
    QTest::addColumn<int>("zoom");
    QTest::addColumn<QString>("label");
    // From the fitted zoom, 19 steps down always reach 10.
    const QString floor(19, '-');
    QTest::newRow("minus stops at 10") << 0 << floor << 10 << "Zoomstufe 10 %";
    QTest::newRow("minus at 10 stays") << 0 << floor + "-" << 10 << "Zoomstufe 10 %";
    QTest::newRow("up to 390") << 0 << floor + QString(19, '+') << 390 << "Zoomstufe 390 %";
    QTest::newRow("390 plus is 400") << 0 << floor + QString(20, '+') << 400 << "Zoomstufe 400 %";
    QTest::newRow("400 stays, then down")
        << 0 << floor + QString(25, '+') + "-" << 380 << "Zoomstufe 380 %";
    QTest::newRow("English") << 1 << floor + "+" << 30 << "Zoom 30 %";
}

void TestPrint::zoom()
{
    QFETCH(int, language);
    QFETCH(QString, clicks);
    QFETCH(int, zoom);
    QFETCH(QString, label);
    Window w(5, language);
    w.form->show();
    // The page opens as wide as the preview, and the zoom says so.
    auto *preview = w.form->findChild<QWidget *>("vsPrinter");
    const int viewport = preview->parentWidget()->width();
    QVERIFY2(preview->width() <= viewport && preview->width() * 1.2 > viewport,
             qPrintable(QString("%1 of %2").arg(preview->width()).arg(viewport)));
    QCOMPARE(w.label("LblZoom"), w.texts.ResText(6010) + QString::number(w.form->zoom()) + " %");
    for (QChar c : clicks)
        w.click(c == '+' ? "CmdZoomPlus" : "CmdZoomMinus");
    QCOMPARE(w.form->zoom(), zoom);
    QCOMPARE(w.label("LblZoom"), label);
}

void TestPrint::navigation_data()
{
    QTest::addColumn<QString>("clicks"); // Cmdprev indexes
    QTest::addColumn<int>("page");
    QTest::newRow("previous on page 1 stays") << "2" << 1;
    QTest::newRow("next on the last page stays") << "43" << 3;
    QTest::newRow("previous from last") << "42" << 2;
    QTest::newRow("first from anywhere") << "331" << 1;
}

void TestPrint::navigation()
{
    QFETCH(QString, clicks);
    QFETCH(int, page);
    Window w(rowsPerPage() * 2 + 1);
    w.form->load();
    for (QChar c : clicks)
        w.click(QString("Cmdprev(%1)").arg(c));
    QCOMPARE(w.form->previewPage(), page);
    QCOMPARE(w.label("LblPrev"), QString("Seite %1 von 3").arg(page));
}

void TestPrint::printerList_data()
{
    QTest::addColumn<QStringList>("installed");
    QTest::addColumn<QString>("current");
    QTest::addColumn<bool>("pdf");
    QTest::addColumn<int>("language");
    QTest::addColumn<QStringList>("listed");
    QTest::addColumn<int>("selected");
    QTest::newRow("no printer") << QStringList() << "" << true << 0 << QStringList{"PDF-Datei"}
                                << 0;
    QTest::newRow("no printer, English")
        << QStringList() << "" << true << 1 << QStringList{"PDF file"} << 0;
    QTest::newRow("nothing to print to")
        << QStringList() << "" << false << 0 << QStringList() << -1;
    QTest::newRow("current printer selected")
        << QStringList{"Laser", "PDF-Datei"} << "PDF-Datei" << true << 0
        << QStringList{"Laser", "PDF-Datei", "PDF-Datei"} << 1;
    QTest::newRow("no current printer")
        << QStringList{"Laser"} << "" << true << 0 << QStringList{"Laser", "PDF-Datei"} << 0;
}

void TestPrint::printerList()
{
    QFETCH(QStringList, installed);
    QFETCH(QString, current);
    QFETCH(bool, pdf);
    QFETCH(int, language);
    QFETCH(QStringList, listed);
    QFETCH(int, selected);
    Window w(0, language, PrinterCatalog{installed, current, pdf});
    QSignalSpy pressed(w.form.get(), &frm_drucken::printToolButtonPressed);
    w.form->show(); // loads
    QVERIFY(w.form->isVisible());

    // "No printer" warns once when nothing can print, and the window opens all the same.
    QCOMPARE(w.asker.calls.size(), listed.isEmpty() ? 1 : 0);
    if (listed.isEmpty()) {
        const auto &m = w.asker.calls.first();
        QCOMPARE(m.text, w.texts.ResText(30080) + "\n" + w.texts.ResText(30090));
        QCOMPARE(m.title, QString("QVR-HISTORY"));
        QCOMPARE(m.icon, Asker::Icon::Critical);
        QVERIFY(m.systemModal);
    }
    auto *combo = w.form->findChild<QComboBox *>("cmb_drucker");
    QStringList got;
    for (int i = 0; i < combo->count(); ++i)
        got << combo->itemText(i);
    QCOMPARE(got, listed);
    QCOMPARE(combo->currentIndex(), selected);

    // The main window's print button is pressed while the window is open, released after.
    w.form->close();
    QCOMPARE(pressed.size(), 2);
    QCOMPARE(pressed.at(0).at(0).toBool(), true);
    QCOMPARE(pressed.at(1).at(0).toBool(), false);
}

void TestPrint::footerPath_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("usual path") << "/home/service/Anlagen/Werk 2.his";
    QTest::newRow("path too long for its place")
        << "/srv/" + QString("verzeichnis/").repeated(20) + "Werk 2.his";
}

// The path stands left of the page number; one too long for that place is shortened in
// the middle, so it neither runs into the page number nor loses the file's name.
void TestPrint::footerPath()
{
    QFETCH(QString, path);
    Window w(1, 0, {}, path);
    w.form->load();
    const QString shown = w.doc().overlayTexts(1).value(0);
    const double room = w.doc().pageSize().width() / 2 - 500 - 200;
    QVERIFY(QFontMetricsF(w.doc().bodyFont()).horizontalAdvance(shown) < room);
    QVERIFY(shown.startsWith(path.left(5)));
    QVERIFY(shown.endsWith("Werk 2.his"));
    QCOMPARE(shown == path, path.size() < 100);
}

void TestPrint::printing_data()
{
    QTest::addColumn<int>("option");
    QTest::addColumn<QString>("range");   // Text1 and Text2, separated by "-"
    QTest::addColumn<QString>("answer");  // the file the user names
    QTest::addColumn<QString>("written"); // the file expected, "" for none
    QTest::addColumn<int>("pages");
    QTest::addColumn<int>("firstPrinted");
    QTest::addColumn<QString>("message");
    const QString numbers = "Bitte geben Sie die erste und die letzte Seite als ganze Zahlen ein.";
    const QString outside = "Das Dokument hat nur die Seiten 1 bis 3.";
    auto row = [](const char *tag, int option, const char *range, const char *answer,
                  const char *written, int pages, int firstPrinted, const QString &message = {}) {
        QTest::newRow(tag) << option << QString(range) << QString(answer) << QString(written)
                           << pages << firstPrinted << message;
    };
    row("all", 0, "-", "a.pdf", "a.pdf", 3, 1);
    row("current page", 1, "-", "c.pdf", "c.pdf", 1, 2);
    row("last page, blanks", 2, " 3 -3", "o.pdf", "o.pdf", 1, 3);
    row("name without suffix", 0, "-", "bericht", "bericht.pdf", 3, 1);
    row("not a number", 2, "zwei-3", "n.pdf", "", 0, 0, numbers);
    row("out of order", 2, "3-2", "x.pdf", "", 0, 0,
        "Die erste Seite darf nicht hinter der letzten Seite liegen.");
    row("beyond the last page", 2, "2-4", "b.pdf", "", 0, 0, outside);
    row("page 0", 2, "0-2", "z.pdf", "", 0, 0, outside);
    row("dialog cancelled", 0, "-", "", "", 0, 0);
    row("folder missing", 0, "-", "no/such/dir/f.pdf", "", 0, 0,
        "Der Druck ist fehlgeschlagen. Bitte prüfen Sie den Drucker oder die Zieldatei.");
}

// Only a print that happened says "ende"; a refused range or a failed file says why. The
// preview shows page 2 when printing.
void TestPrint::printing()
{
    QFETCH(int, option);
    QFETCH(QString, range);
    QFETCH(QString, answer);
    QFETCH(QString, written);
    QFETCH(int, pages);
    QFETCH(int, firstPrinted);
    QFETCH(QString, message);
    if (QStandardPaths::findExecutable("pdftotext").isEmpty())
        QSKIP("poppler-utils (pdftotext, pdfinfo) is not installed");
    Window w(rowsPerPage() * 2 + 5);
    w.form->load();
    const QString dir = m_dir.filePath(QTest::currentDataTag());
    QVERIFY(QDir().mkpath(dir));
    w.asker.saveNames << (answer.isEmpty() ? QString() : dir + "/" + answer);
    w.click("Cmdprev(3)");
    w.form->findChild<QRadioButton *>(QString("Option1(%1)").arg(option))->setChecked(true);
    w.form->findChild<QLineEdit *>("Text1")->setText(range.section('-', 0, 0));
    w.form->findChild<QLineEdit *>("Text2")->setText(range.section('-', 1, 1));
    w.asker.calls.clear(); // "no printer installed" on this machine
    w.click("Command1");

    const auto messages = w.asker.messages();
    QCOMPARE(messages.size(), message.isEmpty() ? 0 : 1);
    if (!message.isEmpty())
        QCOMPARE(messages.first().text, message);
    QCOMPARE(QDir(dir).entryList(QDir::Files),
             written.isEmpty() ? QStringList() : QStringList{written});
    QCOMPARE(w.form->findChild<QPushButton *>("Command2")->text(),
             written.isEmpty() ? QString("Abbruch") : QString("ende"));
    if (written.isEmpty())
        return;
    const QString pdf = dir + "/" + written;
    QCOMPARE(
        QRegularExpression("Pages:\\s+(\\d+)").match(run("pdfinfo", {pdf})).captured(1).toInt(),
        pages);
    // The first page printed: page header, table header, rows with their "Nr.", footer.
    const QString text = run("pdftotext", {"-layout", "-l", "1", pdf, "-"});
    QVERIFY2(text.contains(QString("Seite %1 von 3").arg(firstPrinted)), qPrintable(text));
    const int firstRow = (firstPrinted - 1) * rowsPerPage();
    for (const char *shown : {"QVR-History Version 3.4", "Geräteadr.", "/daten/anlage.his"})
        QVERIFY2(text.contains(QString::fromUtf8(shown)), shown);
    QVERIFY(QRegularExpression(QString("\\n\\s*%1\\s.*Meldung-%2")
                                   .arg(firstRow + 1)
                                   .arg(firstRow, 5, 10, QLatin1Char('0')))
                .match(text)
                .hasMatch());
}

void TestPrint::csvBytes_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QByteArray>("expected");
    const QByteArray bom = "\xEF\xBB\xBF";
    QTest::newRow("German: semicolons")
        << 0
        << bom + "Nr.;Start;Text Zeile 1;Min-Wert\r\n"
                 "2;05.12.2026 14:03;\"Tor;\"\"Nord\"\"\";'=1+1\r\n";
    QTest::newRow("English: commas") << 1
                                     << bom + "No.,Start,Text Line 1,Min-Value\r\n"
                                              "2,05.12.2026 14:03,\"Tor;\"\"Nord\"\"\",'=1+1\r\n";
}

// The CSV's bytes: a byte order mark, the separator of the language, texts quoted where
// needed, a formula defused, the date as the grid shows it.
void TestPrint::csvBytes()
{
    QFETCH(int, language);
    QFETCH(QByteArray, expected);
    Texts texts;
    texts.gLanguageOffset = qint16(language);
    GridModel grid;
    grid.rows = GridModel::makeRows(2);
    grid.rows[1][12] = "Tor;\"Nord\"";
    grid.rows[1][15] = "=1+1";
    CsvExport::Table table{
        1,
        [&](int, int c) { return grid.rows[1][c]; },
        {0, 2, 12, 15},
        {texts.ResText(5050), texts.ResText(5070), texts.ResText(5170), texts.ResText(5200)}};
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    QString error;
    QVERIFY(CsvExport::write(out, table, CsvExport::separator(language), &error));
    QCOMPARE(out.data(), expected);
}

QTEST_MAIN(TestPrint)
#include "tst_print.moc"
