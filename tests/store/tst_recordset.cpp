// Record sets as the read-out, the grid and the detail views use them: order and
// positions, find first/next/previous, bookmarks, rows added at the end, edits
// the file refuses, and a database closed underneath.

#include "store_helper.h"

#include "store/OrderKey.h"

using namespace qvr;
using namespace qvr::storetest;

class tst_Recordset : public QObject
{
    Q_OBJECT

private slots:
    void orderAndTiebreak();
    void findSequence_data();
    void findSequence();
    void bookmarksAndAddedRows();
    void refusedUpdateKeepsRow();
    void namesIgnoreCase_data();
    void namesIgnoreCase();
    void closedDatabase();
    void orderKeys_data();
    void orderKeys();
};

// A new file whose TEMP rows are tagged in Text6, in their insertion order, open as
// gTempRecordset.
static bool openTemp(HistoryFileFixture &f)
{
    // panel, parameter, minute, tag
    const QList<std::tuple<int, int, int, const char *>> rows = {
        {2, 12, 5, "r0"}, {1, 12, 9, "r1"}, {2, 7, 5, "r2"}, {1, 12, 9, "r3"}, {2, 12, 1, "r4"}};
    bool ok = f.create();
    for (const auto &[panel, param, minute, tag] : rows)
        ok = ok &&
             f.addRow("TEMP", HistoryFileFixture::event(panel, param, at(2026, 12, 5, 10, minute),
                                                        {{"Text6", tag}}));
    return ok && HistorySchema::OpenTable(f.store, "TEMP");
}

static QString tag(const Recordset &rs)
{
    return rs.absolutePosition() < 0 ? QString("-") : rs.field("Text6").toString();
}

void tst_Recordset::orderAndTiebreak()
{
    HistoryFileFixture f;
    QVERIFY(openTemp(f));
    Recordset &rs = *f.store.gTempRecordset;
    QCOMPARE(rs.recordCount(), 5);
    QStringList seen;
    for (; !rs.eof(); rs.moveNext())
        seen << tag(rs);
    // Panel, start, parameter; r1 and r3 are equal in every sort field: storage order.
    QCOMPARE(seen, (QStringList{"r1", "r3", "r4", "r2", "r0"}));
    QCOMPARE(rs.absolutePosition(), -1);
    QVERIFY(!rs.moveNext()); // past the end is an error, not a crash

    QVERIFY(rs.setAbsolutePosition(3));
    QCOMPARE(tag(rs), QString("r2"));
    QVERIFY(!rs.setAbsolutePosition(5));
    QVERIFY(rs.moveLast());
    QCOMPARE(tag(rs), QString("r0"));
}

void tst_Recordset::findSequence_data()
{
    QTest::addColumn<QString>("steps");    // operation:criteria, separated by " | "
    QTest::addColumn<QString>("expected"); // tag after each step, "!" for no match (tag kept)

    QTest::newRow("first and next through a run")
        << "first:ParameterNummer=12 | next:ParameterNummer=12 | next:ParameterNummer=12 | "
           "next:ParameterNummer=12 | next:ParameterNummer=12"
        << "r1 r3 r4 r0 !r0";
    QTest::newRow("previous back to the start")
        << "last | previous:ParameterNummer=12 | previous:TableauAdresse=1 | "
           "previous:TableauAdresse=1"
        << "r0 r4 r3 r1";
    QTest::newRow("previous before the first")
        << "first:TableauAdresse=1 | previous:TableauAdresse=1"
        << "r1 !r1";
    QTest::newRow("no match leaves the record")
        << "position:2 | first:ParameterNummer=99 | next:ParameterNummer=99 | "
           "previous:ParameterNummer=99"
        << "r4 !r4 !r4 !r4";
    QTest::newRow("next after the last") << "last | next:TableauAdresse=2"
                                         << "r0 !r0";
    QTest::newRow("date to the second")
        << "first:Start_Datum=#12/05/2026 10:09:00# | next:Start_Datum=#12/05/2026 10:09:00# | "
           "first:Start_Datum=#12/05/2026 10:09:01#"
        << "r1 r3 !r3";
}

void tst_Recordset::findSequence()
{
    QFETCH(QString, steps);
    QFETCH(QString, expected);
    HistoryFileFixture f;
    QVERIFY(openTemp(f));
    Recordset &rs = *f.store.gTempRecordset;
    QStringList got;
    for (const QString &step : steps.split(" | ")) {
        const QString op = step.section(':', 0, 0);
        const QString arg = step.section(':', 1);
        const bool ok = op == "first"      ? rs.findFirst(arg)
                        : op == "next"     ? rs.findNext(arg)
                        : op == "previous" ? rs.findPrevious(arg)
                        : op == "last"     ? rs.moveLast()
                                           : rs.setAbsolutePosition(arg.toInt());
        QVERIFY2(ok, qPrintable(rs.lastError()));
        const bool miss = op == "first" || op == "next" || op == "previous" ? rs.noMatch() : false;
        got << (miss ? "!" : "") + tag(rs);
    }
    QCOMPARE(got.join(' '), expected);
}

void tst_Recordset::bookmarksAndAddedRows()
{
    HistoryFileFixture f;
    QVERIFY(openTemp(f));
    Recordset &rs = *f.store.gTempRecordset;
    QVERIFY(rs.setAbsolutePosition(2));
    const Recordset::Bookmark mark = rs.bookmark();

    // A new row sorts first by its fields, but an open set shows it at its end.
    QVERIFY(rs.addNew());
    QVERIFY(rs.setField("TableauAdresse", 0));
    QVERIFY(rs.setField("Text6", "new"));
    QCOMPARE(rs.field("Text6").toString(), QString("new")); // the edit buffer
    QVERIFY(rs.update());
    QCOMPARE(tag(rs), QString("r4")); // still where it was
    QCOMPARE(rs.recordCount(), 6);
    QVERIFY(rs.setBookmark(rs.lastModified()));
    QCOMPARE(rs.absolutePosition(), 5);
    QCOMPARE(tag(rs), QString("new"));
    QCOMPARE(rs.field("Kanal"), QVariant(0)); // defaults of the file
    QVERIFY(rs.field("Text1").isNull());

    QVERIFY(rs.setBookmark(mark));
    QCOMPARE(tag(rs), QString("r4"));
    QVERIFY(!rs.setBookmark(123456));

    // Opened again, the set takes the row into its order.
    QVERIFY(HistorySchema::OpenTable(f.store, "TEMP"));
    QCOMPARE(tag(*f.store.gTempRecordset), QString("new"));

    // Added at the end of a set that stood after its last row: still after the last row.
    Recordset &again = *f.store.gTempRecordset;
    QVERIFY(again.moveLast());
    QVERIFY(again.moveNext());
    QVERIFY(again.eof());
    QVERIFY(again.addNew());
    QVERIFY(again.update());
    QVERIFY(again.eof());
    QCOMPARE(again.absolutePosition(), -1);
}

void tst_Recordset::refusedUpdateKeepsRow()
{
    HistoryFileFixture f;
    QVERIFY(openTemp(f));
    Recordset &rs = *f.store.gTempRecordset;
    QVERIFY(rs.edit());
    QVERIFY(rs.setField("Text6", "changed"));
    QVERIFY(rs.setField("MinText", ""));
    QVERIFY(!rs.update());
    QVERIFY(rs.lastError().contains("MinText"));
    QVERIFY(rs.isEditing());
    rs.cancelUpdate();
    QCOMPARE(tag(rs), QString("r1"));
    QVERIFY(!rs.setField("Text6", "x")); // no edit pending any more
}

void tst_Recordset::namesIgnoreCase_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("text for Text") << "text";
    QTest::newRow("upper case") << "TABLEAUADRESSE";
}

void tst_Recordset::namesIgnoreCase()
{
    QFETCH(QString, name);
    HistoryFileFixture f;
    QVERIFY(openTemp(f));
    Recordset &rs = *f.store.gTempRecordset;
    QVERIFY(rs.edit());
    QVERIFY(rs.setField(name, 1));
    QVERIFY(rs.update());
    QCOMPARE(rs.field(name), QVariant(1));
    QVERIFY(rs.findFirst(name + "=1"));
    QVERIFY(!rs.noMatch());
}

void tst_Recordset::closedDatabase()
{
    HistoryFileFixture f;
    QVERIFY(openTemp(f));
    std::unique_ptr<Recordset> rs = std::move(f.store.gTempRecordset);
    f.store.closeDatabase();
    QVERIFY(!rs->moveNext());
    QVERIFY(!rs->findFirst("ParameterNummer=12"));
    QVERIFY(!rs->edit());
    QVERIFY(rs->field(0).isNull());
    QVERIFY(!rs->lastError().isEmpty());
    // The file is really closed: it can be removed, and it reopens intact.
    QString error;
    std::unique_ptr<Database> db =
        Database::open(f.path, QString(), Database::Access::ReadWrite, &error);
    QVERIFY2(db, qPrintable(error));
    QVERIFY(!Database::open(f.path + ".missing", QString(), Database::Access::ReadWrite, &error));
    QVERIFY(!Database::open(f.path, "pwd=secret", Database::Access::ReadWrite, &error));
    QVERIFY(Database::open(f.path, "pwd=", Database::Access::ReadWrite, &error));
}

void tst_Recordset::orderKeys_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<bool>("descending");
    QTest::addColumn<QString>("expected"); // tags in the order
    QTest::newRow("numbers, negative ones first") << "GeraeteAdresse2" << false << "n2 n1 z p1";
    QTest::newRow("texts descending, case ignored, equal ones kept in order")
        << "Text1" << true << "n2 z n1 p1";
}

// The grid's sort: the keys the database orders by.
void tst_Recordset::orderKeys()
{
    QFETCH(QString, field);
    QFETCH(bool, descending);
    QFETCH(QString, expected);
    HistoryFileFixture f;
    QVERIFY(f.create());
    const QList<std::tuple<int, const char *, const char *>> rows = {
        {-2, "b", "n2"}, {1, "A", "p1"}, {-1, "ab", "n1"}, {0, "B", "z"}};
    for (const auto &[address, text, tag] : rows)
        QVERIFY(f.addRow("TEMP", {{"GeraeteAdresse2", address}, {"Text1", text}, {"Text6", tag}}));
    Database &db = *f.store.gDatabase;
    std::vector<qint64> ids;
    QVERIFY(db.selectRowIds("Select * From TEMP", -1, &ids));
    QStringList tags(int(ids.size()));
    QVERIFY(db.readRows("TEMP", {"Text6"}, ids.data(), int(ids.size()),
                        [&](int i, const QVariant *values) { tags[i] = values[0].toString(); }));
    const OrderKey key{
        {field}, descending, [](const QVariant *values, qsizetype) { return values[0]; }};
    std::vector<int> order;
    QString error;
    QVERIFY2(db.orderRows("TEMP", ids, {key}, nullptr, &order, &error), qPrintable(error));
    QStringList got;
    for (const int i : order)
        got << tags.value(i);
    QCOMPARE(got.join(' '), expected);
}

QTEST_GUILESS_MAIN(tst_Recordset)
#include "tst_recordset.moc"
