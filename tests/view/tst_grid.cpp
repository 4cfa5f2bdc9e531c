#include "grid_test_helper.h"

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
using namespace qvr::gridtest;

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
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    }

    void cells_data()
    {
        QTest::addColumn<QString>("deviceClass");
        QTest::addColumn<QString>("textLanguage");
        QTest::addColumn<int>("language");
        QTest::addColumn<QVariantMap>("fields");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("expected");

        const QVariantMap base{{"TableauAdresse", 7}, {"Start_Datum", kStart},
                               {"Quittiert_Datum", kQuit}, {"Stop_Datum", kStop}};
        auto with = [&](QVariantMap extra) {
            QVariantMap m = base;
            for (auto it = extra.cbegin(); it != extra.cend(); ++it)
                m.insert(it.key(), it.value());
            return m;
        };
        const QString zl = QStringLiteral("ZL"), pv = QStringLiteral("PV"), rq = QStringLiteral("RQ");
        const QString l1 = QStringLiteral("1");

        QTest::newRow("number") << zl << l1 << 0 << base << 0 << "1";
        QTest::newRow("panel address") << zl << l1 << 0 << base << 1 << "7";
        QTest::newRow("start date German") << zl << l1 << 0 << base << 2 << "05.12.2026 14:03";
        QTest::newRow("start key") << zl << l1 << 0 << base << 3 << "46361.5854166667";
        QTest::newRow("quit empty when flag 0") << zl << l1 << 0 << base << 4 << "";
        QTest::newRow("quit shown when flag 1")
            << zl << l1 << 0 << with({{"Quittiert_JN", 1}}) << 4 << "05.12.2026 14:07";
        QTest::newRow("stop empty when flag 0") << zl << l1 << 0 << base << 6 << "";
        QTest::newRow("stop key empty when flag 0") << zl << l1 << 0 << base << 7 << "";
        QTest::newRow("stop shown when flag 1")
            << zl << l1 << 0 << with({{"Stop_JN", 1}}) << 6 << "06.12.2026 08:00";
        QTest::newRow("stop key when flag 1")
            << zl << l1 << 0 << with({{"Stop_JN", 1}}) << 7 << "46362.3333333333";
        QTest::newRow("type warn") << zl << l1 << 0 << with({{"Meldeleuchte", 2}}) << 8 << "Warn";
        QTest::newRow("type alarm English") << zl << l1 << 1 << with({{"Meldeleuchte", 1}}) << 8 << "alarm";
        QTest::newRow("type other empty") << zl << l1 << 0 << with({{"Meldeleuchte", 3}}) << 8 << "";
        QTest::newRow("test yes") << zl << l1 << 0 << with({{"Test_JN", 1}}) << 9 << "ja";
        QTest::newRow("test no English") << zl << l1 << 1 << base << 9 << "no";

        const QVariantMap addr{{"GeraeteAdresse1", 1}, {"GeraeteAdresse2", 2}, {"Kanal", 4}};
        auto input = [&](int eingang, QVariantMap extra = {}) {
            QVariantMap m = with(addr);
            m.insert("Eingang", eingang);
            for (auto it = extra.cbegin(); it != extra.cend(); ++it)
                m.insert(it.key(), it.value());
            return m;
        };
        QTest::newRow("address input 0") << zl << l1 << 0 << input(0) << 10 << "001 / 002 / 004";
        QTest::newRow("address digital input counts from 1")
            << zl << l1 << 0 << input(2) << 10 << "001 / 002 / 005";
        QTest::newRow("address three digits kept")
            << zl << l1 << 0 << input(0, {{"GeraeteAdresse2", 255}, {"Kanal", 12}}) << 10
            << "001 / 255 / 012";
        QTest::newRow("address empty for EIB") << zl << l1 << 0 << input(3) << 10 << "";
        QTest::newRow("EIB channel two digits")
            << zl << l1 << 0 << input(3, {{"EIBEingang", 7}}) << 11 << "07";
        QTest::newRow("ZL no channel mark") << zl << l1 << 0 << input(0, {{"EIBEingang", 1}}) << 11 << "";
        QTest::newRow("PV alarm") << pv << l1 << 0 << input(0, {{"EIBEingang", 0}}) << 11 << "Alarm";
        QTest::newRow("PV pre-alarm by EIB value")
            << pv << l1 << 0 << input(1, {{"EIBEingang", 1}}) << 11 << "pre-Alarm";
        QTest::newRow("PV pre-alarm by text")
            << pv << l1 << 1 << input(0, {{"Text1", "Vorwarnung Halle"}}) << 11 << "pre-Alarm";
        QTest::newRow("PV text match is case-sensitive")
            << pv << l1 << 0 << input(0, {{"Text1", "VORWARNUNG"}}) << 11 << "Alarm";
        QTest::newRow("PV digital input no mark") << pv << l1 << 0 << input(2) << 11 << "";
        QTest::newRow("RQ no mark") << rq << l1 << 0 << input(0) << 11 << "";

        QTest::newRow("text leading blanks removed")
            << zl << l1 << 0 << with({{"Text1", "   Halle 3"}}) << 12 << "Halle 3";
        QTest::newRow("text of blanks empty") << zl << l1 << 0 << with({{"Text2", "    "}}) << 13 << "";
        QTest::newRow("text device characters German")
            << zl << l1 << 0 << with({{"Text3", QString("T%1r 1%2").arg(QChar(18)).arg(QChar(23))}})
            << 14 << QString::fromUtf8("Tür 1°");
        QTest::newRow("text device characters French")
            << zl << "3" << 0 << with({{"Text1", QString("Entr%1e").arg(QChar(3))}}) << 12
            << QString::fromUtf8("Entrée");
        QTest::newRow("min value trimmed") << zl << l1 << 0 << with({{"AnalogWertMin", "  12.5"}}) << 15 << "12.5";
        QTest::newRow("max value trimmed") << zl << l1 << 0 << with({{"AnalogWertMax", " 99"}}) << 16 << "99";
        QTest::newRow("device type trimmed") << zl << l1 << 0 << with({{"geraetetyp", " ABC-12"}}) << 17 << "ABC-12";
        QTest::newRow("device type null") << zl << l1 << 0 << with({{"geraetetyp", QVariant()}}) << 17 << "";
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
        QTest::newRow("no English") << "ZL" << 1 << 0 << "No." << right;
        QTest::newRow("panel") << "ZL" << 0 << 1 << QString::fromUtf8("Geräteadr.") << centre;
        QTest::newRow("quit English") << "ZL" << 1 << 4 << "Mute" << bottom;
        QTest::newRow("stop key") << "ZL" << 0 << 7 << "StopSort" << bottom;
        QTest::newRow("EIB ZL") << "ZL" << 0 << 11 << "EIB-Kanal" << centre;
        QTest::newRow("EIB RQ") << "RQ" << 1 << 11 << "EIB-Channel" << centre;
        QTest::newRow("pre alarm PV") << "PV" << 0 << 11 << "pre / Alarm" << centre;
        QTest::newRow("pre alarm PV English") << "PV" << 1 << 11 << "pre / Alarm" << centre;
        QTest::newRow("text line") << "ZL" << 0 << 12 << "Text Zeile 1" << top;
        QTest::newRow("device type") << "PV" << 1 << 17 << "Device type" << top;
    }

    void columns()
    {
        QFETCH(QString, deviceClass);
        QFETCH(int, language);
        QFETCH(int, column);
        QFETCH(QString, header);
        QFETCH(int, alignment);
        Window win;
        QVERIFY(win.fx->create(deviceClass));
        QVERIFY(win.fx->addEvent({{"TableauAdresse", 1}}));
        win.fx->texts.gLanguageOffset = qint16(language);
        win.open();
        const HistoryGridModel *m = win.model();
        QCOMPARE(m->columnCount(), 18);
        QCOMPARE(m->headerData(column, Qt::Horizontal).toString(), header);
        QCOMPARE(int(m->headerData(column, Qt::Horizontal, Qt::TextAlignmentRole).value<Qt::Alignment>()),
                 int(Qt::AlignCenter));
        QCOMPARE(int(m->data(m->index(0, column), Qt::TextAlignmentRole).value<Qt::Alignment>()),
                 alignment);
    }

    void emptyHistory()
    {
        Window win;
        QVERIFY(win.fx->create());
        win.open();
        QVERIFY(win.w->loadError().isEmpty());
        QCOMPARE(win.model()->rowCount(), 0);
        QCOMPARE(win.model()->columnCount(), 18);
        for (int c = 0; c < 18; ++c)
            QCOMPARE(win.w->grid()->isColumnHidden(c), c == 3 || c == 5 || c == 7);
        win.w->GridClick(0, 2); // sorting nothing is harmless
        QCOMPARE(win.model()->rowCount(), 0);
        QVERIFY(win.fx->asker.messages.isEmpty());
    }

    void deviceClassFromFile_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("expected");
        QTest::newRow("no value means ZL") << "NULL" << "ZL";
        QTest::newRow("PV kept") << "'PV'" << "PV";
        QTest::newRow("RQ kept") << "'RQ'" << "RQ";
    }

    void deviceClassFromFile()
    {
        QFETCH(QString, stored);
        QFETCH(QString, expected);
        Window win;
        QVERIFY(win.fx->create(QStringLiteral("ZL"), QStringLiteral("7")));
        QVERIFY(win.fx->store.gDatabase->execute(
            QStringLiteral("UPDATE LumoHistory SET Geraet = %1").arg(stored)));
        win.fx->readout.gDeviceClass = QStringLiteral("XX");
        win.open();
        QCOMPARE(win.fx->readout.gDeviceClass, expected);
        QCOMPARE(win.fx->readout.gTextLanguage, QStringLiteral("7"));
    }

    void readoutErrorsReportedOnce()
    {
        Window win;
        QVERIFY(win.fx->create());
        win.fx->readout.gReadoutErrors = true;
        win.open();
        QCOMPARE(win.fx->asker.messages.size(), 1);
        QCOMPARE(win.fx->asker.messages[0].text, QStringLiteral("Errors!"));
        QCOMPARE(win.fx->asker.messages[0].icon, Asker::Icon::None);
        QCOMPARE(win.fx->asker.messages[0].title, QStringLiteral("QVR-HISTORY"));
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
        QTest::newRow("panel numeric ascending") << QList<int>{1} << 0
                                                 << QStringList{"1", "2", "3", "4"} << 3;
        QTest::newRow("panel numeric descending") << QList<int>{1, 1} << 0
                                                  << QStringList{"4", "3", "2", "1"} << 4;
        QTest::newRow("state 4 starts ascending") << QList<int>{1} << 4
                                                  << QStringList{"1", "2", "3", "4"} << 3;
        QTest::newRow("state 3 starts descending") << QList<int>{0} << 3
                                                   << QStringList{"4", "3", "2", "1"} << 4;
        QTest::newRow("start sorts by its key, not its text") << QList<int>{2} << 0
                                                  << QStringList{"3", "1", "4", "2"} << 3;
        QTest::newRow("second click on another column reverses") << QList<int>{1, 2} << 0
                                                  << QStringList{"2", "4", "1", "3"} << 4;
        QTest::newRow("stop empty cells first") << QList<int>{6} << 0
                                                  << QStringList{"1", "4", "3", "2"} << 3;
        QTest::newRow("text ignores case") << QList<int>{12} << 0
                                           << QStringList{"4", "2", "1", "3"} << 3;
        QTest::newRow("text descending ignores case") << QList<int>{12, 12} << 0
                                                      << QStringList{"3", "1", "2", "4"} << 4;
        QTest::newRow("min value compared as text") << QList<int>{15} << 0
                                                    << QStringList{"3", "2", "4", "1"} << 3;
        QTest::newRow("type by text") << QList<int>{8} << 0
                                      << QStringList{"2", "4", "1", "3"} << 3;
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
        QVERIFY(win.fx->addEvent({{"TableauAdresse", 2}, {"Start_Datum", QDateTime(QDate(2025, 1, 10), QTime(9, 0))},
                                  {"Text1", "abc"}, {"AnalogWertMin", "9"}, {"Meldeleuchte", 2},
                                  {"Stop_JN", 0}}));
        QVERIFY(win.fx->addEvent({{"TableauAdresse", 9}, {"Start_Datum", QDateTime(QDate(2026, 2, 1), QTime(9, 0))},
                                  {"Text1", "ABB"}, {"AnalogWertMin", "10"}, {"Meldeleuchte", 1},
                                  {"Stop_JN", 1}, {"Stop_Datum", QDateTime(QDate(2026, 3, 1), QTime(0, 5))}}));
        QVERIFY(win.fx->addEvent({{"TableauAdresse", 10}, {"Start_Datum", QDateTime(QDate(2024, 3, 3), QTime(9, 0))},
                                  {"Text1", "Abd"}, {"AnalogWertMin", "1"}, {"Meldeleuchte", 2},
                                  {"Stop_JN", 1}, {"Stop_Datum", QDateTime(QDate(2025, 1, 1), QTime(0, 0))}}));
        QVERIFY(win.fx->addEvent({{"TableauAdresse", 100}, {"Start_Datum", QDateTime(QDate(2025, 6, 30), QTime(9, 0))},
                                  {"Text1", "ab"}, {"AnalogWertMin", "100"}, {"Meldeleuchte", 1},
                                  {"Stop_JN", 0}}));
        win.fx->view.gGridSortOrder = quint8(stateBefore);
        win.open();
        QCOMPARE(win.numbers(), (QStringList{"1", "2", "3", "4"}));
        for (int c : clicks)
            win.w->GridClick(0, c);
        QCOMPARE(win.numbers(), expected);
        QCOMPARE(int(win.fx->view.gGridSortOrder), stateAfter);

        // A refill shows the record set's order again; the direction state stays.
        QVERIFY(win.w->FillHistoryGrid());
        QCOMPARE(win.numbers(), (QStringList{"1", "2", "3", "4"}));
        QCOMPARE(int(win.fx->view.gGridSortOrder), stateAfter);
    }

    void rowClickOpensNamedRecord_data()
    {
        QTest::addColumn<QString>("deviceClass");
        QTest::addColumn<int>("expectedWindow");
        QTest::newRow("ZL") << "ZL" << int(frm_Historiendaten::DetailWindow::ZL);
        QTest::newRow("PV") << "PV" << int(frm_Historiendaten::DetailWindow::PV);
        QTest::newRow("RQ") << "RQ" << int(frm_Historiendaten::DetailWindow::PV);
        QTest::newRow("unknown class") << "XY" << int(frm_Historiendaten::DetailWindow::ZL);
    }

    void rowClickOpensNamedRecord()
    {
        QFETCH(QString, deviceClass);
        QFETCH(int, expectedWindow);
        Window win;
        QVERIFY(win.fx->create(deviceClass));
        for (int i = 1; i <= 5; ++i)
            QVERIFY(win.fx->addEvent({{"TableauAdresse", i}, {"ParameterNummer", 100 + i},
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
        QCOMPARE(int(spy.at(0).at(0).value<frm_Historiendaten::DetailWindow>()), expectedWindow);
        QVERIFY(win.fx->asker.messages.isEmpty());
    }

    void rowClickWithoutProgramming_data()
    {
        QTest::addColumn<int>("lamp");
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("expected");
        QTest::newRow("0 German") << 0 << 0 << QString::fromUtf8("Zu dieser Meldung  gibt es keine Programmierung!");
        QTest::newRow("3 English") << 3 << 1 << "No programming record available!";
    }

    void rowClickWithoutProgramming()
    {
        QFETCH(int, lamp);
        QFETCH(int, language);
        QFETCH(QString, expected);
        Window win;
        QVERIFY(win.fx->create());
        QVERIFY(win.fx->addEvent({{"TableauAdresse", 1}, {"Meldeleuchte", lamp}}));
        win.fx->texts.gLanguageOffset = qint16(language);
        win.open();
        QSignalSpy spy(win.w.get(), &frm_Historiendaten::detailViewRequested);
        win.w->GridClick(1, 3);
        QCOMPARE(spy.size(), 0);
        QCOMPARE(win.fx->asker.messages.size(), 1);
        QCOMPARE(win.fx->asker.messages[0].text, expected);
        QCOMPARE(win.fx->asker.messages[0].icon, Asker::Icon::Critical);
        QVERIFY(win.fx->asker.messages[0].systemModal);
        QCOMPARE(win.model()->rowCount(), 1);
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
        const QVariantList values{" 12.5", "9", "100", "-3", QVariant()};
        const QVariantList types{QVariant(), "", " ABC", "abc", "Typ 2"};
        Window win;
        QVERIFY(win.fx->create(seed % 2 ? "PV" : "ZL", QString::number(seed)));
        for (int i = 0; i < 150; ++i) {
            auto date = [&] {
                return QDateTime(QDate(2026, 1, 1 + int(rnd.bounded(3u))),
                                 QTime(int(rnd.bounded(2u)), 0));
            };
            QVariantMap e{{"TableauAdresse", pick({0, 2, 2, -5, QVariant()})},
                          {"Start_Datum", date()},
                          {"Quittiert_JN", pick({0, 1, 2})},
                          {"Quittiert_Datum", date()},
                          {"Stop_JN", pick({0, 1})},
                          {"Stop_Datum", date()},
                          {"Meldeleuchte", pick({0, 1, 2, 3})},
                          {"Test_JN", pick({0, 1})},
                          {"Eingang", pick({0, 1, 2, 3})},
                          {"GeraeteAdresse1", pick({0, 12})},
                          {"GeraeteAdresse2", pick({2, 255})},
                          {"Kanal", pick({0, 4, 9})},
                          {"EIBEingang", pick({0, 1, 7})},
                          {"Text1", pick(texts)},
                          {"Text2", pick(texts)},
                          {"Text3", pick(texts)},
                          {"AnalogWertMin", pick(values)},
                          {"AnalogWertMax", pick(values)},
                          {"geraetetyp", pick(types)}};
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
        for (int column : clicks) {
            const bool descending = win.fx->view.gGridSortOrder == 3;
            const int key = column == 2 || column == 4 || column == 6 ? column + 1 : column;
            referenceSort(order, records, fmt, key, column <= 7, descending);
            win.w->GridClick(0, column);
            QTRY_VERIFY(!win.w->isBusy());
            QStringList expected;
            for (qsizetype p : order)
                expected << QString::number(p + 1);
            QCOMPARE(win.numbers(), expected);
        }
    }

    // A large file: the first screen of rows, then the rest appended (the view keeps its
    // place); clicks meanwhile wait for the whole set and then run.
    void backgroundLoadShowsFirstRowsThenAll()
    {
        Window win;
        QVERIFY(win.fx->create());
        QVERIFY(win.fx->store.gDatabase->execute(QStringLiteral(
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1500) "
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
        QCOMPARE(win.model()->rowCount(), 1500);
        QCOMPARE(win.fx->store.gHistoryRecordset->recordCount(), 1500);
        QCOMPARE(win.model()->cellText(0, 1), QStringLiteral("7"));
        QCOMPARE(detail.size(), 1);
        QCOMPARE(win.w->statusText(), QStringLiteral("1.500 Ereignisse"));
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
            QVERIFY(win.fx->addEvent({{"TableauAdresse", (i * 7) % 11}, {"Text1", QString("t%1").arg(i % 3)}}));
        win.open();
        QAbstractItemModelTester tester(win.model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
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
