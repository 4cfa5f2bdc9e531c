// The printout's layout and the print window's controls, without printing.

#include "core/TextTable.h"
#include "print_test_helper.h"
#include "view/CsvExport.h"
#include "view/frm_drucken.h"

#include <QBuffer>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using namespace qvr;
using namespace qvr::printtest;

namespace {

struct Window
{
    Texts texts;
    RecordingAsker asker;
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

} // namespace

class TestPrint : public QObject
{
    Q_OBJECT

private slots:
    void tableFormat_data();
    void tableFormat();
    void rowSyntax_data();
    void rowSyntax();
    void headerRow_data();
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
};

void TestPrint::tableFormat_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("aligns"); // one letter per column, "" when rejected
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("header");
    QTest::newRow("the printout's") << frm_drucken::kTableFormat << "RCCCCCCCCLLLLLC" << 15577 << "";
    QTest::newRow("header after the format") << "<+100| >+200 ;A|B" << "LR" << 300 << "A|B";
    QTest::newRow("no end") << "<+100|>+200" << "" << 0 << "";
    QTest::newRow("unknown alignment") << "<+100|*+200;" << "" << 0 << "";
    QTest::newRow("no plus") << "<100;" << "" << 0 << "";
    QTest::newRow("bad width") << "<+1x0|<+0;" << "" << 0 << "";
}

void TestPrint::tableFormat()
{
    QFETCH(QString, text);
    QFETCH(QString, aligns);
    QFETCH(int, width);
    QFETCH(QString, header);
    QString gotHeader, error;
    const PrintTableFormat f = PrintTableFormat::parse(text, &gotHeader, &error);
    QString gotAligns;
    for (const auto &c : f.columns())
        gotAligns += "LCR"[int(c.align)];
    QCOMPARE(gotAligns, aligns);
    QCOMPARE(f.totalWidthTwips(), width);
    QCOMPARE(gotHeader, header);
    QCOMPARE(error.isEmpty(), f.isValid());
}

void TestPrint::rowSyntax_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("rows"); // cells of each row joined with "/"
    QTest::newRow("two rows") << "a|b;c|d;" << QStringList{"a/b", "c/d"};
    QTest::newRow("last row without end") << "a|b;c|d" << QStringList{"a/b", "c/d"};
    QTest::newRow("missing cells are empty") << "a;" << QStringList{"a/"};
    QTest::newRow("surplus cells stay in the last column") << "a|b|c|d;" << QStringList{"a/b|c|d"};
}

void TestPrint::rowSyntax()
{
    QFETCH(QString, text);
    QFETCH(QStringList, rows);
    PrintDocument doc;
    doc.startDoc();
    QVERIFY(doc.addTable("<+900|<+900;A|B"));
    doc.addTableRows(text);
    QStringList got;
    for (int r = 0; r < doc.rowCount(0); ++r)
        got << doc.rowCells(0, r).join('/');
    QCOMPARE(got, rows);
}

void TestPrint::headerRow_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("expected");
    QTest::newRow("German") << 0
                            << QString::fromUtf8("Nr.|Geräteadr.|Start|Quit|Stop|Typ|Test|Adresse/Kanal|EIB|"
                                                 "Text Zeile 1|Text Zeile 2|Text Zeile 3|Min-Wert|Max-Wert|Geraet");
    QTest::newRow("English") << 1
                             << QString("No.|Dev. Adr.|Start|Mute|Stop|Type|Test|Address/Ch.|EIB|"
                                        "Text Line 1|Text Line 2|Text Line 3|Min-Value|Max-Value|Device");
}

void TestPrint::headerRow()
{
    QFETCH(int, language);
    QFETCH(QString, expected);
    Window w(3, language);
    w.form->load();
    QCOMPARE(w.doc().headerCells(0).join('|'), expected);
    QCOMPARE(w.doc().pageHeader(), QString("QVR-History Version 3.4"));
}

void TestPrint::pagination_data()
{
    const int perPage = rowsPerPage();
    QVERIFY(perPage > 20);
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("pages");
    QTest::newRow("no rows") << 0 << 1;
    QTest::newRow("one row") << 1 << 1;
    QTest::newRow("one full page") << perPage << 1;
    QTest::newRow("a page and a half") << perPage + perPage / 2 << 2;
    QTest::newRow("10000 rows") << 10000 << (10000 + perPage - 1) / perPage;
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
    QTest::newRow("semicolons in text line 1") << 12 << "Tor;offen;" << 9 << "Tor,offen,";
    QTest::newRow("bar in text line 2 stays") << 13 << "Halle|Tor" << 10 << "Halle|Tor";
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
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("words") << 1600 << "Brandmeldung Halle 3 Nordseite Rolltor bei Rampe 12 offen"
                           << QStringList{"Brandmeldung Halle 3", "Nordseite Rolltor bei", "Rampe 12 offen"};
    QTest::newRow("one long word") << 1600 << QString(30, 'X')
                                   << QStringList{QString(21, 'X'), QString(9, 'X')};
    QTest::newRow("after a hyphen") << 1600 << "Brandmelder-Hauptanschlussverteiler"
                                    << QStringList{"Brandmelder-", "Hauptanschlussverteil", "er"};
    QTest::newRow("EIB column, Alarm") << 425 << "Alarm" << QStringList{"Alarm"};
    QTest::newRow("EIB column, pre-Alarm") << 425 << "pre-Alarm" << QStringList{"pre-", "Alarm"};
}

// A text wider than its column goes on to further lines of a taller row; nothing is cut.
void TestPrint::wideCellsWrapWithoutLoss()
{
    QFETCH(int, width);
    QFETCH(QString, text);
    QFETCH(QStringList, lines);
    PrintDocument doc;
    doc.setBodyFont(PrintDocument::makeFont("Courier New", 6, false));
    doc.startDoc();
    QVERIFY(doc.addTable(QString("<+%1|<+400;A|B").arg(width)));
    doc.addTableRow({text, "x"});
    doc.addTableRow({"-", "y"});
    doc.endDoc();
    QCOMPARE(doc.cellLines(0, 0, 0), lines);
    const auto placed = doc.placedOnPage(1);
    QCOMPARE(placed.at(1).height > placed.at(2).height, lines.size() > 1);
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
    QTest::newRow("start") << "" << 1;
    QTest::newRow("previous on page 1 stays") << "2" << 1;
    QTest::newRow("next") << "3" << 2;
    QTest::newRow("next on the last page stays") << "43" << 7;
    QTest::newRow("previous from last") << "42" << 6;
    QTest::newRow("first from anywhere") << "3331" << 1;
}

void TestPrint::navigation()
{
    QFETCH(QString, clicks);
    QFETCH(int, page);
    Window w(rowsPerPage() * 6 + 1);
    w.form->load();
    QCOMPARE(w.doc().pageCount(), 7);
    for (QChar c : clicks)
        w.click(QString("Cmdprev(%1)").arg(c));
    QCOMPARE(w.form->previewPage(), page);
    QCOMPARE(w.label("LblPrev"), QString("Seite %1 von 7").arg(page));
}

void TestPrint::printerList_data()
{
    QTest::addColumn<QStringList>("installed");
    QTest::addColumn<QString>("current");
    QTest::addColumn<bool>("pdf");
    QTest::addColumn<int>("language");
    QTest::addColumn<QStringList>("listed");
    QTest::addColumn<int>("selected");
    QTest::newRow("no printer") << QStringList() << "" << true << 0 << QStringList{"PDF-Datei"} << 0;
    QTest::newRow("no printer, English") << QStringList() << "" << true << 1 << QStringList{"PDF file"} << 0;
    QTest::newRow("nothing to print to") << QStringList() << "" << false << 0 << QStringList() << -1;
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
    QCOMPARE(w.asker.messages.size(), listed.isEmpty() ? 1 : 0);
    if (listed.isEmpty()) {
        const auto &m = w.asker.messages.first();
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
    QTest::newRow("path too long for its place") << "/srv/" + QString("verzeichnis/").repeated(20) + "Werk 2.his";
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

void TestPrint::csvBytes_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QByteArray>("expected");
    const QByteArray bom = "\xEF\xBB\xBF";
    QTest::newRow("German: semicolons") << 0 << bom + "Nr.;Start;Text Zeile 1;Min-Wert\r\n"
                                                      "2;05.12.2026 14:03;\"Tor;\"\"Nord\"\"\";'=1+1\r\n";
    QTest::newRow("English: commas") << 1 << bom + "No.,Start,Text Line 1,Min-Value\r\n"
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
    CsvExport::Table table{1, [&](int, int c) { return grid.rows[1][c]; }, {0, 2, 12, 15},
                           {texts.ResText(5050), texts.ResText(5070), texts.ResText(5170),
                            texts.ResText(5200)}};
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    QString error;
    QVERIFY(CsvExport::write(out, table, CsvExport::separator(language), &error));
    QCOMPARE(out.data(), expected);
}

QTEST_MAIN(TestPrint)
#include "tst_print.moc"
