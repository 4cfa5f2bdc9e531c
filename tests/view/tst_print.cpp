// The printout's layout and the print window's controls, without printing.

#include "core/TextTable.h"
#include "print_test_helper.h"
#include "view/PrintDocument.h"
#include "view/PrintTableFormat.h"
#include "view/frm_drucken.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using namespace qvr;
using namespace qvr::printtest;

class TestPrint : public QObject
{
    Q_OBJECT

private slots:
    void tableFormat_data();
    void tableFormat();
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

private:
    struct Window
    {
        Texts texts;
        RecordingAsker asker;
        GridModel grid;
        std::unique_ptr<frm_drucken> form;
    };
    static std::unique_ptr<Window> open(int rows, int language = 0,
                                        PrinterCatalog printers = {},
                                        const QString &path = QStringLiteral("/daten/anlage.his"))
    {
        auto w = std::make_unique<Window>();
        w->texts.gLanguageOffset = qint16(language);
        w->grid.rows = GridModel::makeRows(rows);
        w->form = std::make_unique<frm_drucken>(
            w->texts, w->asker, frm_drucken::Source{&w->grid, path, "3.4", "QVR-HISTORY"},
            printers);
        w->form->load();
        return w;
    }
    // Body rows that fit on one full page.
    static int rowsPerPage()
    {
        const auto w = open(300);
        return int(w->form->document().placedOnPage(1).size()) - 1;
    }
    template<typename T>
    static T *child(const Window &w, const QString &name)
    {
        T *c = w.form->findChild<T *>(name);
        if (!c)
            qFatal("no control %s", qPrintable(name));
        return c;
    }
};

void TestPrint::tableFormat_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("aligns"); // one letter per column, "" when rejected
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("header");

    QTest::newRow("the printout's format") << frm_drucken::kTableFormat << "RCCCCCCCCLLLLLC" << 15577
                                           << "";
    QTest::newRow("header after the format") << "<+100|>+200;A|B" << "LR" << 300 << "A|B";
    QTest::newRow("blanks around entries") << " ^+50 | <+70 ;" << "CL" << 120 << "";
    QTest::newRow("no end") << "<+100|>+200" << "" << 0 << "";
    QTest::newRow("unknown alignment") << "<+100|*+200;" << "" << 0 << "";
    QTest::newRow("no plus") << "<100;" << "" << 0 << "";
    QTest::newRow("width not a number") << "<+1x0;" << "" << 0 << "";
    QTest::newRow("zero width") << "<+0;" << "" << 0 << "";
    QTest::newRow("empty entry") << "<+100||>+5;" << "" << 0 << "";
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
        gotAligns += c.align == PrintTableFormat::Align::Left     ? 'L'
                     : c.align == PrintTableFormat::Align::Centre ? 'C'
                                                                  : 'R';
    QCOMPARE(gotAligns, aligns);
    QCOMPARE(f.totalWidthTwips(), width);
    QCOMPARE(gotHeader, header);
    QCOMPARE(error.isEmpty(), f.isValid());
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
    const auto w = open(3, language);
    QCOMPARE(w->form->document().headerCells(0).join('|'), expected);
    QCOMPARE(w->form->document().pageHeader(), QString("QVR-History Version 3.4"));
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

// Every row is printed once, in grid order, each page starts with the table header and
// carries its own page number.
void TestPrint::pagination()
{
    QFETCH(int, rows);
    QFETCH(int, pages);
    const auto w = open(rows);
    const PrintDocument &doc = w->form->document();
    QCOMPARE(doc.pageCount(), pages);
    int next = 0;
    for (int p = 1; p <= pages; ++p) {
        const auto placed = doc.placedOnPage(p);
        QVERIFY(!placed.isEmpty());
        QCOMPARE(placed.first().row, -1);
        for (qsizetype i = 1; i < placed.size(); ++i) {
            QCOMPARE(placed.at(i).row, next++);
            QVERIFY(placed.at(i).y + placed.at(i).height
                    <= doc.pageSize().height() - 1000 + 0.01);
        }
        QVERIFY(doc.overlayTexts(p).contains(QString("Seite %1 von %2").arg(p).arg(pages)));
    }
    QCOMPARE(next, rows);
    QCOMPARE(doc.rowCount(0), rows);
}

void TestPrint::printedCells_data()
{
    QTest::addColumn<int>("gridColumn");
    QTest::addColumn<QString>("gridText");
    QTest::addColumn<int>("printedColumn");
    QTest::addColumn<QString>("printed");

    QTest::newRow("semicolon in text line 1") << 12 << "Tür;offen" << 9 << QString::fromUtf8("Tür,offen");
    QTest::newRow("semicolons in text line 3") << 14 << ";a;;b;" << 11 << ",a,,b,";
    QTest::newRow("bar in text line 2 stays") << 13 << "Halle|Tor" << 10 << "Halle|Tor";
    QTest::newRow("semicolon outside text lines stays") << 15 << "1;5" << 12 << "1;5";
    QTest::newRow("device type is the last column") << 17 << "PV" << 14 << "PV";
    QTest::newRow("stop time") << 6 << "06.12.2026 08:00" << 4 << "06.12.2026 08:00";
}

void TestPrint::printedCells()
{
    QFETCH(int, gridColumn);
    QFETCH(QString, gridText);
    QFETCH(int, printedColumn);
    QFETCH(QString, printed);

    Texts texts;
    RecordingAsker asker;
    GridModel grid;
    grid.rows = GridModel::makeRows(2);
    grid.rows[1][gridColumn] = gridText;
    // The hidden sort columns must never reach paper.
    grid.rows[1][3] = grid.rows[1][5] = grid.rows[1][7] = "HIDDEN";
    frm_drucken form(texts, asker, {&grid, "/x.his", "3.4", "T"}, {});
    form.load();
    const QStringList cells = form.document().rowCells(0, 1);
    QCOMPARE(cells.size(), 15);
    QCOMPARE(cells.at(printedColumn), printed);
    QVERIFY(!cells.contains("HIDDEN"));
    // The row's other cells stay in their columns.
    QCOMPARE(cells.at(0), QString("2"));
    QCOMPARE(cells.at(9), gridColumn == 12 ? printed : QString("Meldung-00001"));
}

void TestPrint::wideCellsWrapWithoutLoss_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("words") << "Brandmeldung Halle 3 Nordseite Rolltor bei Rampe 12 offen";
    QTest::newRow("one long word") << QString("X").repeated(70);
}

void TestPrint::wideCellsWrapWithoutLoss()
{
    QFETCH(QString, text);
    PrintDocument doc;
    doc.setBodyFont(PrintDocument::makeFont("Courier New", 6, false));
    doc.startDoc();
    QVERIFY(doc.addTable("<+1600|<+400;A|B"));
    doc.addTableRow({text, "x"});
    doc.addTableRow({"short", "y"});
    doc.endDoc();
    const QStringList lines = doc.cellLines(0, 0, 0);
    QVERIFY(lines.size() > 1);
    const QString joined = lines.join(text.contains(' ') ? " " : "");
    QCOMPARE(joined, text);
    const auto placed = doc.placedOnPage(1);
    QVERIFY(placed.at(1).height > placed.at(2).height);
}

void TestPrint::zoom_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("clicks");
    QTest::addColumn<int>("zoom");
    QTest::addColumn<QString>("label");
    QTest::newRow("after loading") << 0 << "" << 30 << "Zoomstufe ";
    QTest::newRow("minus from 30 stops at 10") << 0 << "-" << 10 << "Zoomstufe 10 %";
    QTest::newRow("minus at 10 stays") << 0 << "--" << 10 << "Zoomstufe 10 %";
    QTest::newRow("plus") << 0 << "+" << 50 << "Zoomstufe 50 %";
    QTest::newRow("up to 390") << 0 << QString(18, '+') << 390 << "Zoomstufe 390 %";
    QTest::newRow("390 plus is 400") << 0 << QString(19, '+') << 400 << "Zoomstufe 400 %";
    QTest::newRow("400 stays") << 0 << QString(25, '+') << 400 << "Zoomstufe 400 %";
    QTest::newRow("back down from 400") << 0 << QString(19, '+') + "-" << 380 << "Zoomstufe 380 %";
    QTest::newRow("English") << 1 << "-+" << 30 << "Zoom 30 %";
}

void TestPrint::zoom()
{
    QFETCH(int, language);
    QFETCH(QString, clicks);
    QFETCH(int, zoom);
    QFETCH(QString, label);
    const auto w = open(5, language);
    for (QChar c : clicks)
        child<QPushButton>(*w, c == '+' ? "CmdZoomPlus" : "CmdZoomMinus")->click();
    QCOMPARE(w->form->zoom(), zoom);
    QCOMPARE(child<QLabel>(*w, "LblZoom")->text(), label);
}

void TestPrint::navigation_data()
{
    QTest::addColumn<QString>("clicks"); // Cmdprev indexes
    QTest::addColumn<int>("page");
    QTest::newRow("start") << "" << 1;
    QTest::newRow("previous on page 1 stays") << "2" << 1;
    QTest::newRow("next") << "3" << 2;
    QTest::newRow("last") << "4" << 7;
    QTest::newRow("next on the last page stays") << "43" << 7;
    QTest::newRow("previous from last") << "42" << 6;
    QTest::newRow("first from anywhere") << "3331" << 1;
}

void TestPrint::navigation()
{
    QFETCH(QString, clicks);
    QFETCH(int, page);
    const auto w = open(rowsPerPage() * 6 + 1);
    QCOMPARE(w->form->document().pageCount(), 7);
    for (QChar c : clicks)
        child<QPushButton>(*w, QString("Cmdprev(%1)").arg(c))->click();
    QCOMPARE(w->form->previewPage(), page);
    QCOMPARE(child<QLabel>(*w, "LblPrev")->text(), QString("Seite %1 von 7").arg(page));
}

void TestPrint::printerList_data()
{
    QTest::addColumn<QStringList>("installed");
    QTest::addColumn<QString>("current");
    QTest::addColumn<int>("language");
    QTest::addColumn<QStringList>("listed");
    QTest::addColumn<int>("selected");
    QTest::addColumn<bool>("warned");

    QTest::newRow("no printer") << QStringList() << "" << 0 << QStringList{"PDF-Datei"} << 0 << true;
    QTest::newRow("no printer, English") << QStringList() << "" << 1 << QStringList{"PDF file"} << 0 << true;
    QTest::newRow("current printer selected")
        << QStringList{"Laser", "Tinte"} << "Tinte" << 0 << QStringList{"Laser", "Tinte", "PDF-Datei"} << 1
        << false;
    QTest::newRow("no current printer")
        << QStringList{"Laser"} << "" << 0 << QStringList{"Laser", "PDF-Datei"} << 0 << false;
}

void TestPrint::printerList()
{
    QFETCH(QStringList, installed);
    QFETCH(QString, current);
    QFETCH(int, language);
    QFETCH(QStringList, listed);
    QFETCH(int, selected);
    QFETCH(bool, warned);

    auto w = std::make_unique<Window>();
    w->texts.gLanguageOffset = qint16(language);
    w->form = std::make_unique<frm_drucken>(w->texts, w->asker,
                                            frm_drucken::Source{&w->grid, "/a.his", "3.4", "QVR-HISTORY"},
                                            PrinterCatalog{installed, current});
    QSignalSpy pressed(w->form.get(), &frm_drucken::printToolButtonPressed);
    w->form->show(); // loads
    QVERIFY(w->form->isVisible());

    QCOMPARE(w->asker.messages.size(), warned ? 1 : 0);
    if (warned) {
        const auto &m = w->asker.messages.first();
        QCOMPARE(m.text, w->texts.ResText(30080) + "\n" + w->texts.ResText(30090));
        QCOMPARE(m.title, QString("QVR-HISTORY"));
        QCOMPARE(m.icon, Asker::Icon::Critical);
        QVERIFY(m.systemModal);
    }
    auto *combo = child<QComboBox>(*w, "cmb_drucker");
    QStringList got;
    for (int i = 0; i < combo->count(); ++i)
        got << combo->itemText(i);
    QCOMPARE(got, listed);
    QCOMPARE(combo->currentIndex(), selected);
    QCOMPARE(w->form->document().pageCount(), 1);

    // The main window's print button is pressed while the window is open, released after.
    w->form->close();
    QCOMPARE(pressed.size(), 2);
    QCOMPARE(pressed.at(0).at(0).toBool(), true);
    QCOMPARE(pressed.at(1).at(0).toBool(), false);
}

void TestPrint::footerPath_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("whole");
    QTest::newRow("usual path") << "/home/service/Anlagen/Werk 2.his" << true;
    QTest::newRow("path too long for its place")
        << "/srv/" + QString("verzeichnis/").repeated(20) + "Werk 2.his" << false;
}

// The path stands left of the page number; a path too long for that place is shortened in
// the middle so it neither overlaps the page number nor loses the file's name.
void TestPrint::footerPath()
{
    QFETCH(QString, path);
    QFETCH(bool, whole);
    const auto w = open(1, 0, {}, path);
    const QString shown = w->form->document().overlayTexts(1).value(0);
    if (whole) {
        QCOMPARE(shown, path);
        return;
    }
    QVERIFY(shown.size() < path.size());
    QVERIFY(shown.startsWith("/srv/"));
    QVERIFY(shown.endsWith("Werk 2.his"));
    const QFontMetricsF fm(w->form->document().bodyFont());
    const double room = w->form->document().pageSize().width() / 2 - 500 - 200;
    QVERIFY(fm.horizontalAdvance(shown) < room);
}

QTEST_MAIN(TestPrint)
#include "tst_print.moc"
