#include "view_helper.h"

#include "view/FilterClauseBuilder.h"
#include "view/GridRowSource.h"
#include "view/HistoryGridModel.h"
#include "view/frm_Historiendaten.h"
#include "view/frm_drucken.h"

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTableView>
#include <QtTest>

#include <algorithm>
#include <memory>

using namespace qvr;
using namespace qvr::viewtest;

Q_DECLARE_METATYPE(QVariantMap)

namespace {

const QDateTime kStart(QDate(2026, 12, 5), QTime(14, 3, 0));
const QDateTime kQuit(QDate(2026, 12, 5), QTime(14, 7, 30));
const QDateTime kStop(QDate(2026, 12, 6), QTime(8, 0, 0));

// The sort the grid did in memory before the database sorted: stable, by the cell's
// number (empty cells first) or its case-folded text. The reference of the order test.
void referenceSort(std::vector<qsizetype> &order, const std::vector<GridRecord> &records,
                   const GridCellFormatter &fmt, int column, bool numeric, bool descending)
{
    const size_t n = records.size();
    std::vector<std::pair<bool, double>> numbers(n);
    std::vector<QString> texts(n);
    for (size_t i = 0; i < n; ++i) {
        const auto k = fmt.numericKey(records[i], qsizetype(i), column);
        numbers[i] = {k.has_value(), k.value_or(0.0)};
        texts[i] = fmt.cellText(records[i], qsizetype(i), column).toCaseFolded();
    }
    std::stable_sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) {
        if (descending)
            std::swap(a, b);
        return numeric ? numbers[size_t(a)] < numbers[size_t(b)]
                       : texts[size_t(a)] < texts[size_t(b)];
    });
}

struct Window
{
    std::unique_ptr<HistoryFixture> fx = std::make_unique<HistoryFixture>();
    std::unique_ptr<frm_Historiendaten> w;

    void open()
    {
        w = std::make_unique<frm_Historiendaten>(fx->store, fx->readout, fx->view, fx->texts,
                                                 fx->asker, nullptr);
    }
    HistoryGridModel *model() const { return w->gridModel(); }
    // The "Nr." column top to bottom.
    QStringList numbers() const
    {
        QStringList out;
        for (int r = 0; r < model()->rowCount(); ++r)
            out << model()->cellText(r, 0);
        return out;
    }
};

} // namespace

class TestGrid : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }

    void cells_data()
    {
        QTest::addColumn<QString>("deviceClass");
        QTest::addColumn<QString>("textLanguage");
        QTest::addColumn<int>("language");
        QTest::addColumn<QVariantMap>("fields");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("expected");
        // An event of panel 7 with start, quit and stop times and address 1 / 2 / 4, the
        // given fields laid over it.
        auto row = [](const char *tag, int column, const QString &expected,
                      const QVariantMap &extra = {}, const QString &cls = "ZL", int language = 0,
                      const QString &textLanguage = "1") {
            QVariantMap m{
                {"TableauAdresse", 7}, {"Start_Datum", kStart}, {"Quittiert_Datum", kQuit},
                {"Stop_Datum", kStop}, {"GeraeteAdresse1", 1},  {"GeraeteAdresse2", 2},
                {"Kanal", 4}};
            m.insert(extra);
            QTest::newRow(tag) << cls << textLanguage << language << m << column << expected;
        };
        row("number", 0, "1");
        row("panel address", 1, "7");
        row("panel address null", 1, "", {{"TableauAdresse", QVariant()}});
        row("start date, four-digit year", 2, "05.12.2026 14:03");
        row("quit empty when flag 0", 4, "");
        row("quit shown when flag 1", 4, "05.12.2026 14:07", {{"Quittiert_JN", 1}});
        row("stop empty when flag 2", 6, "", {{"Stop_JN", 2}});
        row("stop shown when flag 1", 6, "06.12.2026 08:00", {{"Stop_JN", 1}});
        row("type warn", 8, "Warn", {{"Meldeleuchte", 2}});
        row("type alarm English", 8, "alarm", {{"Meldeleuchte", 1}}, "ZL", 1);
        row("type other empty", 8, "", {{"Meldeleuchte", 3}});
        row("test yes", 9, "ja", {{"Test_JN", 1}});
        row("test no English", 9, "no", {}, "ZL", 1);
        row("address input 0", 10, "001 / 002 / 004", {{"Eingang", 0}});
        row("address digital input counts from 1", 10, "001 / 002 / 005", {{"Eingang", 2}});
        row("address three digits", 10, "001 / 255 / 012",
            {{"GeraeteAdresse2", 255}, {"Kanal", 12}});
        row("address empty for EIB", 10, "", {{"Eingang", 3}});
        row("EIB channel two digits", 11, "07", {{"Eingang", 3}, {"EIBEingang", 7}});
        row("ZL no channel mark", 11, "", {{"EIBEingang", 1}});
        row("PV alarm", 11, "Alarm", {}, "PV");
        row("PV pre-alarm by EIB value", 11, "pre-Alarm", {{"Eingang", 1}, {"EIBEingang", 1}},
            "PV");
        row("PV pre-alarm by text", 11, "pre-Alarm", {{"Text1", "Vorwarnung Halle"}}, "PV", 1);
        row("PV digital input no mark", 11, "", {{"Eingang", 2}}, "PV");
        row("text leading blanks removed", 12, "Halle 3", {{"Text1", "   Halle 3"}});
        row("text of blanks empty", 13, "", {{"Text2", "    "}});
        row("text device characters", 14, QString::fromUtf8("Tür 1°"),
            {{"Text3", QString("T%1r 1%2").arg(QChar(18)).arg(QChar(23))}});
        row("min value trimmed", 15, "12.5", {{"AnalogWertMin", "  12.5"}});
        row("device type trimmed", 17, "ABC-12", {{"geraetetyp", " ABC-12"}});
    }

    void cells()
    {
        QFETCH(QString, deviceClass);
        QFETCH(QString, textLanguage);
        QFETCH(int, language);
        QFETCH(QVariantMap, fields);
        QFETCH(int, column);
        QFETCH(QString, expected);

        Window win;
        QVERIFY(win.fx->create(deviceClass, textLanguage));
        QVERIFY(win.fx->addEvent(fields));
        win.fx->texts.gLanguageOffset = qint16(language);
        win.open();
        QCOMPARE(win.model()->rowCount(), 1);
        QCOMPARE(win.model()->cellText(0, column), expected);
        QCOMPARE(win.model()->data(win.model()->index(0, column)).toString(), expected);
    }

    // One rule for grid cells and the filter's defaults; the filter reads what the grid shows.
    void dates_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("expected");
        QTest::newRow("C, German") << "C" << 0 << "05.12.2026 14:03";
        QTest::newRow("C, English") << "C" << 1 << "05/12/2026 14:03";
        QTest::newRow("de_DE, English") << "de_DE" << 1 << "05.12.2026 14:03";
        QTest::newRow("en_US, German") << "en_US" << 0 << "12/5/2026 2:03 PM";
    }

    void dates()
    {
        QFETCH(QString, locale);
        QFETCH(int, language);
        QFETCH(QString, expected);
        QLocale::setDefault(QLocale(locale));
        Window win;
        QVERIFY(win.fx->create());
        QVERIFY(win.fx->addEvent({{"Start_Datum", kStart}}));
        win.fx->texts.gLanguageOffset = qint16(language);
        win.open();
        const QString cell = win.model()->cellText(0, 2);
        const QString defaults =
            FilterClauseBuilder::defaultValue(1, win.fx->texts, QLocale(), kStart) + ' ' +
            FilterClauseBuilder::defaultValue(2, win.fx->texts, QLocale(), kStart);
        const auto condition = FilterClauseBuilder::addCondition(1, 2, cell.section(' ', 0, 0), 0,
                                                                 "ZL", win.fx->texts, QLocale());
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QCOMPARE(cell, expected);
        QCOMPARE(defaults, expected);
        QCOMPARE(condition.text, QString("Start_Datum_Filter=#12/5/2026#"));
    }

    void columns_data()
    {
        QTest::addColumn<QString>("deviceClass");
        QTest::addColumn<int>("language");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("header");
        QTest::addColumn<int>("alignment");
        const int right = Qt::AlignRight | Qt::AlignVCenter, centre = Qt::AlignCenter;
        const int bottom = Qt::AlignLeft | Qt::AlignBottom, top = Qt::AlignLeft | Qt::AlignTop;
        QTest::newRow("no German") << "ZL" << 0 << 0 << "Nr." << right;
        QTest::newRow("quit English") << "RQ" << 1 << 4 << "Mute" << bottom;
        // The EIB column of a PV file names the alarm kind.
        QTest::newRow("pre alarm PV") << "PV" << 0 << 11 << "pre / Alarm" << centre;
        QTest::newRow("device type") << "PV" << 1 << 17 << "Device type" << top;
    }

    void columns()
    {
        QFETCH(QString, deviceClass);
        QFETCH(int, language);
        QFETCH(int, column);
        Window win;
        QVERIFY(win.fx->create(deviceClass));
        QVERIFY(win.fx->addEvent({{"TableauAdresse", 1}}));
        win.fx->texts.gLanguageOffset = qint16(language);
        win.open();
        const HistoryGridModel *m = win.model();
        QTEST(m->headerData(column, Qt::Horizontal).toString(), "header");
        QTEST(int(m->data(m->index(0, column), Qt::TextAlignmentRole).value<Qt::Alignment>()),
              "alignment");
    }

    // A file without a device class is a ZL file; the text language comes from the file.
    void deviceClassFromFile_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("expected");
        QTest::newRow("no value means ZL") << QString("NULL") << QString("ZL");
        QTest::newRow("RQ kept") << QString("'RQ'") << QString("RQ");
    }

    void deviceClassFromFile()
    {
        QFETCH(QString, stored);
        Window win;
        QVERIFY(win.fx->create(QStringLiteral("ZL"), QStringLiteral("7")));
        QVERIFY(win.fx->store.gDatabase->execute("UPDATE LumoHistory SET Geraet = " + stored));
        win.fx->readout.gDeviceClass = QStringLiteral("XX");
        win.fx->readout.gReadoutErrors = true;
        win.open();
        QTEST(win.fx->readout.gDeviceClass, "expected");
        QCOMPARE(win.fx->readout.gTextLanguage, QStringLiteral("7"));
        // Errors of the read-out are reported once, when the grid opens.
        QCOMPARE(win.fx->asker.messageTexts(), QStringList{"Errors!"});
        QVERIFY(!win.fx->readout.gReadoutErrors);
    }

    // Each row: header clicks in order, the sort state before the first click, then the
    // "Nr." column afterwards and the state left behind.
    void sorting_data()
    {
        QTest::addColumn<QList<int>>("clicks");
        QTest::addColumn<int>("stateBefore");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<int>("stateAfter");
        // Record set order is by panel address: Nr. 1..4 are panels 2, 9, 10, 100.
        auto row = [](const char *tag, QList<int> clicks, int before, const char *order,
                      int after) {
            QTest::newRow(tag) << clicks << before << QString(order).split(' ') << after;
        };
        row("panel numeric ascending", {1}, 0, "1 2 3 4", 3);
        row("panel numeric descending", {1, 1}, 0, "4 3 2 1", 4);
        row("state 4 starts ascending", {1}, 4, "1 2 3 4", 3);
        row("state 3 starts descending", {0}, 3, "4 3 2 1", 4);
        row("start sorts by its key, not its text", {2}, 0, "3 1 4 2", 3);
        row("second click on another column reverses", {1, 2}, 0, "2 4 1 3", 4);
        row("stop empty cells first", {6}, 0, "1 4 3 2", 3);
        row("text ignores case", {12}, 0, "4 2 1 3", 3);
        row("text descending ignores case", {12, 12}, 0, "3 1 2 4", 4);
        row("min value compared as text", {15}, 0, "3 2 4 1", 3);
        row("type by text", {8}, 0, "2 4 1 3", 3);
    }

    void sorting()
    {
        QFETCH(QList<int>, clicks);
        QFETCH(int, stateBefore);
        QFETCH(QStringList, expected);
        QFETCH(int, stateAfter);

        Window win;
        QVERIFY(win.fx->create());
        // By start date the order is 3, 1, 4, 2, while the date texts ("03.03.2024",
        // "10.01.2025", "30.06.2025", "01.02.2026") would give 2, 3, 1, 4.
        const QList<QVariantList> events{{2, QDate(2025, 1, 10), "abc", "9", 2, QVariant()},
                                         {9, QDate(2026, 2, 1), "ABB", "10", 1, QDate(2026, 3, 1)},
                                         {10, QDate(2024, 3, 3), "Abd", "1", 2, QDate(2025, 1, 1)},
                                         {100, QDate(2025, 6, 30), "ab", "100", 1, QVariant()}};
        for (const QVariantList &e : events) {
            QVariantMap fields{
                {"TableauAdresse", e[0]}, {"Start_Datum", e[1].toDate().startOfDay()},
                {"Text1", e[2]},          {"AnalogWertMin", e[3]},
                {"Meldeleuchte", e[4]},   {"Stop_JN", e[5].isNull() ? 0 : 1}};
            if (!e[5].isNull())
                fields.insert("Stop_Datum", e[5].toDate().startOfDay());
            QVERIFY(win.fx->addEvent(fields));
        }
        win.fx->view.gGridSortOrder = quint8(stateBefore);
        win.open();
        for (int c : clicks)
            win.w->GridClick(0, c);
        QCOMPARE(win.numbers(), expected);
        QCOMPARE(int(win.fx->view.gGridSortOrder), stateAfter);

        // A refill shows the record set's order again; the direction state stays.
        QVERIFY(win.w->FillHistoryGrid());
        QCOMPARE(win.numbers(), (QStringList{"1", "2", "3", "4"}));
        QCOMPARE(int(win.fx->view.gGridSortOrder), stateAfter);
    }

    // A click on a row names its event by the "Nr." cell, whatever the order shown.
    void rowClickOpensNamedRecord()
    {
        Window win;
        QVERIFY(win.fx->create());
        for (int i = 1; i <= 5; ++i)
            QVERIFY(win.fx->addEvent(
                {{"TableauAdresse", i},
                 {"ParameterNummer", 100 + i},
                 {"Meldeleuchte", 1 + i % 2},
                 {"Start_Datum", QDateTime(QDate(2026, 1, 6 - i), QTime(12, 0))}}));
        win.open();
        QSignalSpy spy(win.w.get(), &frm_Historiendaten::detailViewRequested);
        win.w->GridClick(0, 2); // by start: reverse of the record set order
        QCOMPARE(win.numbers(), (QStringList{"5", "4", "3", "2", "1"}));

        for (int row = 1; row <= 5; ++row) {
            win.w->GridClick(row, 12);
            const int nr = win.model()->cellText(row - 1, 0).toInt();
            QCOMPARE(win.fx->store.gHistoryRecordset->absolutePosition(), nr - 1);
            QCOMPARE(win.fx->store.gHistoryRecordset->field("ParameterNummer").toInt(), 100 + nr);
            QCOMPARE(win.w->grid()->currentIndex().column(), 0);
        }
        QCOMPARE(spy.size(), 5);
        QVERIFY(win.fx->asker.calls.isEmpty());
    }

    void rowClickWithoutProgramming()
    {
        Window win;
        QVERIFY(win.fx->create());
        QVERIFY(win.fx->addEvent({{"TableauAdresse", 1}, {"Meldeleuchte", 3}}));
        win.open();
        QSignalSpy spy(win.w.get(), &frm_Historiendaten::detailViewRequested);
        win.w->GridClick(1, 3);
        QCOMPARE(spy.size(), 0);
        const auto messages = win.fx->asker.messages();
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages[0].text,
                 QString::fromUtf8("Zu dieser Meldung  gibt es keine Programmierung!"));
        QCOMPARE(messages[0].icon, Asker::Icon::Critical);
        QVERIFY(messages[0].systemModal);
    }

    void doubleClickAndHeaderClickThroughTheView()
    {
        Window win;
        QVERIFY(win.fx->create());
        QVERIFY(win.fx->addEvent({{"TableauAdresse", 5}, {"Meldeleuchte", 2}}));
        QVERIFY(win.fx->addEvent({{"TableauAdresse", 3}, {"Meldeleuchte", 2}}));
        win.open();
        win.w->resize(900, 500);
        win.w->grid()->resize(880, 480);
        win.w->show();
        QVERIFY(QTest::qWaitForWindowExposed(win.w.get()));

        QHeaderView *header = win.w->grid()->horizontalHeader();
        const QPoint onPanel(header->sectionViewportPosition(1) + 5, header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, onPanel);
        QCOMPARE(win.model()->cellText(0, 1), QStringLiteral("3"));

        QSignalSpy spy(win.w.get(), &frm_Historiendaten::detailViewRequested);
        QTableView *grid = win.w->grid();
        const QRect cell = grid->visualRect(win.model()->index(1, 12));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
        QCOMPARE(spy.size(), 0); // one click only selects
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
        QCOMPARE(spy.size(), 1);
        QCOMPARE(win.fx->store.gHistoryRecordset->field("TableauAdresse").toInt(), 5);
    }

    // Random files with duplicates, nulls, umlauts and equal keys: after every header
    // click the database's order is exactly the order of the old in-memory sort.
    void databaseOrderEqualsMemoryOrder_data()
    {
        QTest::addColumn<quint32>("seed");
        QTest::addColumn<bool>("background");
        for (quint32 seed : {1u, 2u, 3u}) {
            QTest::addRow("seed %u", seed) << seed << false;
            QTest::addRow("seed %u in the background", seed) << seed << true;
        }
    }

    void databaseOrderEqualsMemoryOrder()
    {
        QFETCH(quint32, seed);
        QFETCH(bool, background);
        QRandomGenerator rnd(seed);
        auto pick = [&](const QVariantList &pool) {
            return pool.at(int(rnd.bounded(quint32(pool.size()))));
        };
        // Umlauts and case, blanks, a device code, DEL and characters on both sides of the
        // UTF-16 surrogates.
        QVariantList texts{QVariant(),
                           QString("T%1r").arg(QChar(18)),
                           QString("%1b").arg(QChar(0x7F)),
                           QString("%1a\u00e9").arg(QChar(0x7F)),
                           QString::fromUtf8("\U0001F600"),
                           QString(QChar(0xFFFD))};
        for (const char *t : {"Tür", "TÜR", "tür", "Tor", "Ätna", "äpfel", "Apfel", "  Zebra", "ß",
                              "SS", "", "   ", "Vorwarnung 1"})
            texts << QString::fromUtf8(t);
        const QVariantList values{" 12.5", "9", "100", "-3", QVariant(), "", " ABC", "abc"};
        Window win;
        QVERIFY(win.fx->create(seed % 2 ? "PV" : "ZL", QString::number(seed)));
        for (int i = 0; i < 150; ++i) {
            auto date = [&] {
                return QDateTime(QDate(2026, 1, 1 + int(rnd.bounded(3u))),
                                 QTime(int(rnd.bounded(2u)), 0));
            };
            QVariantMap e{{"TableauAdresse", pick({0, 2, 2, -5, QVariant()})},
                          {"Start_Datum", date()},
                          {"Quittiert_Datum", date()},
                          {"Stop_Datum", date()}};
            for (const char *f : {"Quittiert_JN", "Stop_JN", "Test_JN"})
                e.insert(f, pick({0, 1, 2}));
            for (const char *f : {"Meldeleuchte", "Eingang"})
                e.insert(f, pick({0, 1, 2, 3}));
            for (const char *f : {"GeraeteAdresse1", "GeraeteAdresse2", "Kanal", "EIBEingang"})
                e.insert(f, pick({0, 1, 9, 255}));
            for (const char *f : {"Text1", "Text2", "Text3"})
                e.insert(f, pick(texts));
            for (const char *f : {"AnalogWertMin", "AnalogWertMax", "geraetetyp"})
                e.insert(f, pick(values));
            if (rnd.bounded(5u) == 0)
                e.insert("Stop_Datum_Sort", QVariant());
            QVERIFY(win.fx->addEvent(e));
        }
        win.fx->view.backgroundFrom = background ? 0 : 1000000;
        win.open();
        QTRY_VERIFY(!win.w->isBusy());
        const Recordset &rs = *win.fx->store.gHistoryRecordset;
        const GridCellFormatter fmt(win.fx->texts, win.fx->readout.gDeviceClass,
                                    win.fx->readout.gTextLanguage);
        const GridRowSource source(win.fx->store, rs.rowIds(), nullptr, fmt);
        std::vector<GridRecord> records;
        std::vector<qsizetype> order;
        for (int p = 0; p < source.rowCount(); ++p) {
            records.push_back(source.record(p));
            order.push_back(p);
        }
        // Every column, in a random order, then some again.
        QList<int> clicks;
        for (int c = 0; c < 18; ++c)
            clicks.insert(int(rnd.bounded(quint32(clicks.size() + 1))), c);
        for (int extra = 0; extra < 4; ++extra)
            clicks << int(rnd.bounded(18u));
        for (int i = 0; i < clicks.size(); ++i) {
            const int column = clicks[i];
            const bool descending = win.fx->view.gGridSortOrder == 3;
            const int key = column == 2 || column == 4 || column == 6 ? column + 1 : column;
            referenceSort(order, records, fmt, key, column <= 7, descending);
            win.w->GridClick(0, column);
            // In the background, clicks come three at a time: two wait for the running sort.
            if (background && i % 3 != 2 && i + 1 < clicks.size())
                continue;
            QTRY_VERIFY(!win.w->isBusy());
            QStringList expected;
            for (qsizetype p : order)
                expected << QString::number(p + 1);
            QCOMPARE(win.numbers(), expected);
        }
    }

    // A large file: the first screen of rows, then the rest appended (the view keeps its
    // place); clicks meanwhile wait for the whole set and then run. More rows than the
    // grid keeps in memory: a row read again after all others is still its own.
    void backgroundLoadShowsFirstRowsThenAll()
    {
        Window win;
        QVERIFY(win.fx->create());
        QVERIFY(win.fx->store.gDatabase->execute(QStringLiteral(
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 4300) "
            "INSERT INTO HISTORY (TableauAdresse, Meldeleuchte, Text1) SELECT i % 7 + 1, 2, 'T' || "
            "i FROM n")));
        win.fx->view.backgroundFrom = 0;
        win.open();
        QSignalSpy inserted(win.model(), &QAbstractItemModel::rowsInserted);
        QSignalSpy detail(win.w.get(), &frm_Historiendaten::detailViewRequested);
        QList<int> shown;
        QObject::connect(win.model(), &QAbstractItemModel::modelReset, win.w.get(), [&] {
            shown << win.model()->rowCount();
            win.w->GridClick(1, 12); // the first row: panel 1, Nr. 1
            win.w->GridClick(0, 1);  // panel ascending, then descending
            win.w->GridClick(0, 1);
            QCOMPARE(win.model()->cellText(0, 1), QStringLiteral("1"));
        });
        QVERIFY(win.w->isBusy());
        QTRY_VERIFY(!win.w->isBusy());
        QCOMPARE(shown, QList<int>{1000});
        QCOMPARE(inserted.size(), 1);
        QCOMPARE(inserted.at(0).at(1).toInt(), 1000);
        QCOMPARE(win.model()->rowCount(), 4300);
        QCOMPARE(win.fx->store.gHistoryRecordset->recordCount(), 4300);
        QCOMPARE(win.model()->cellText(0, 1), QStringLiteral("7"));
        QCOMPARE(detail.size(), 1);
        QCOMPARE(win.w->statusText(), QStringLiteral("4.300 Ereignisse"));
        const QString first = win.model()->cellText(0, 12);
        for (int r = 1; r < 4300; ++r)
            QVERIFY(!win.model()->cellText(r, 12).isEmpty());
        QCOMPARE(win.model()->cellText(0, 12), first);
    }

    // The printout reads the rows as the grid shows them when it opens (sorted, each with
    // its "Nr."), again for each page; a later sort of the grid does not change its pages.
    void printoutReadsRowsAsShown()
    {
        Window win;
        QVERIFY(win.fx->create());
        for (int i = 1; i <= 3; ++i)
            QVERIFY(
                win.fx->addEvent({{"TableauAdresse", i}, {"Text1", QString("T%1").arg(4 - i)}}));
        win.open();
        win.w->GridClick(0, 12);
        frm_drucken print(win.fx->texts, win.fx->asker,
                          {nullptr, "a.his", "3.4", "T",
                           std::make_shared<const GridRowSource>(win.model()->rows())},
                          {});
        print.load();
        win.w->GridClick(0, 12);
        QStringList printed;
        for (int r = 0; r < 3; ++r)
            printed << print.document().rowCells(0, r).at(0) +
                           print.document().rowCells(0, r).at(9);
        QCOMPARE(printed, (QStringList{"3T1", "2T2", "1T3"}));
        QCOMPARE(win.model()->cellText(0, 0), QStringLiteral("1"));
    }

    void modelContract()
    {
        Window win;
        QVERIFY(win.fx->create());
        for (int i = 0; i < 20; ++i)
            QVERIFY(win.fx->addEvent(
                {{"TableauAdresse", (i * 7) % 11}, {"Text1", QString("t%1").arg(i % 3)}}));
        win.open();
        QAbstractItemModelTester tester(win.model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        win.w->grid()->selectRow(4);
        const int selectedNr = win.model()->cellText(4, 0).toInt();
        win.w->GridClick(0, 12);
        win.w->GridClick(0, 1);
        // The selection follows its event through the sort.
        const QModelIndexList selected = win.w->grid()->selectionModel()->selectedRows();
        QCOMPARE(selected.size(), 1);
        QCOMPARE(win.model()->cellText(selected[0].row(), 0).toInt(), selectedNr);
        win.w->ClearHistoryGrid();
        QCOMPARE(win.model()->rowCount(), 0);
        QVERIFY(win.w->FillHistoryGrid());
        QCOMPARE(win.model()->rowCount(), 20);
    }
};

QTEST_MAIN(TestGrid)
#include "tst_grid.moc"
