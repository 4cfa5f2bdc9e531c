#include "grid_test_helper.h"

#include "view/HistoryGridModel.h"
#include "view/frm_Historiendaten.h"
#include "view/frm_filter.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

#include <memory>

using namespace qvr;
using namespace qvr::gridtest;

namespace {

// "field;operator;value;connector"; a value of "-" keeps the entry's default value.
using Steps = QStringList;

struct FilterWindow
{
    std::unique_ptr<HistoryFixture> fx = std::make_unique<HistoryFixture>();
    std::unique_ptr<frm_Historiendaten> history;
    std::unique_ptr<frm_filter> dlg;

    bool open(const QString &deviceClass = QStringLiteral("ZL"))
    {
        if (!fx->create(deviceClass))
            return false;
        return reopen();
    }
    bool reopen()
    {
        history = std::make_unique<frm_Historiendaten>(fx->store, fx->readout, fx->view,
                                                       fx->texts, fx->asker, nullptr);
        dlg = std::make_unique<frm_filter>(fx->store, fx->readout, *history, fx->texts,
                                           fx->asker, nullptr);
        return true;
    }
    template<typename T> T *child(const QString &name) const
    {
        return dlg->findChild<T *>(name);
    }
    QComboBox *feld() const { return child<QComboBox>(QStringLiteral("cmb_feld")); }
    QComboBox *op1() const { return child<QComboBox>(QStringLiteral("cmb_operator1")); }
    QComboBox *op2() const { return child<QComboBox>(QStringLiteral("cmb_operator2")); }
    QLineEdit *wert() const { return child<QLineEdit>(QStringLiteral("txt_wert")); }
    QPlainTextEdit *filter() const { return child<QPlainTextEdit>(QStringLiteral("txt_filter")); }
    QPushButton *add() const { return child<QPushButton>(QString::fromUtf8("cmd_hinzufügen")); }
    QPushButton *cmd(int i) const { return child<QPushButton>(QStringLiteral("cmd_1(%1)").arg(i)); }

    void step(const QString &s)
    {
        const QStringList p = s.split(QLatin1Char(';'));
        feld()->setCurrentIndex(p[0].toInt());
        dlg->cmb_feld_Click();
        if (op1()->isEnabled())
            op1()->setCurrentIndex(p[1].toInt());
        if (p[2] != QLatin1String("-"))
            wert()->setText(p[2]);
        op2()->setCurrentIndex(p[3].toInt());
        dlg->cmd_hinzufuegen_Click();
    }
    // Panel addresses of the grid's rows, top to bottom.
    QStringList panels() const
    {
        QStringList out;
        for (int r = 0; r < history->gridModel()->rowCount(); ++r)
            out << history->gridModel()->cellText(r, 1);
        return out;
    }
    bool addEvents()
    {
        return fx->addEvent({{"TableauAdresse", 3}, {"Meldeleuchte", 2}, {"Text1", "Tür Halle"}})
               && fx->addEvent({{"TableauAdresse", 1}, {"Meldeleuchte", 2}, {"Text1", "Pumpe"}})
               && fx->addEvent({{"TableauAdresse", 0}, {"Meldeleuchte", 2}, {"Text1", "Tor"}})
               && fx->addEvent({{"TableauAdresse", 2}, {"Meldeleuchte", 1}, {"Text1", "TÜR Keller"}});
    }
};

} // namespace

class TestFilter : public QObject
{
    Q_OBJECT

private slots:
    void initialState()
    {
        FilterWindow w;
        QVERIFY(w.open());
        QCOMPARE(w.dlg->windowTitle(), QStringLiteral("Datenfilter"));
        QCOMPARE(w.feld()->count(), 17);
        QCOMPARE(w.feld()->currentIndex(), 0);
        QCOMPARE(w.op1()->currentText(), QStringLiteral("="));
        QVERIFY(w.op1()->isEnabled());
        QCOMPARE(w.wert()->text(), QStringLiteral("1"));
        QCOMPARE(w.op2()->currentText(), QStringLiteral("keine"));
        QVERIFY(w.filter()->toPlainText().isEmpty());
        QVERIFY(w.add()->isEnabled());
        QVERIFY(w.cmd(0)->isEnabled());
        QVERIFY(!w.cmd(1)->isEnabled());
        QVERIFY(w.cmd(2)->isEnabled());
        QCOMPARE(w.dlg->findChild<QLabel *>(QStringLiteral("Label1(3)"))->text(),
                 QStringLiteral("weitere Bedingung"));
        // Choosing an entry puts its default value into the box.
        w.dlg->setLocale(QLocale(QLocale::German, QLocale::Germany));
        const QStringList defaults{"1", QDate::currentDate().toString("dd.MM.yyyy"), "", "", "", "",
                                   "", "Alarm", "nein", "000", "002", "001", "001", "001",
                                   "*Text*", "*Text*", "*Text*"};
        for (int f : {0, 1, 7, 8, 9, 10, 11, 12, 13, 14, 16}) {
            w.feld()->setCurrentIndex(f);
            w.dlg->cmb_feld_Click();
            QCOMPARE(w.wert()->text(), defaults[f]);
        }
    }

    void clause_data()
    {
        QTest::addColumn<QString>("deviceClass");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<int>("language");
        QTest::addColumn<Steps>("steps");
        QTest::addColumn<QString>("clause");
        QTest::addColumn<QString>("valueBox");
        QTest::addColumn<bool>("complete");

        QTest::newRow("panel address") << "ZL" << "de_DE" << 0 << Steps{"0;2;1;0"}
                                       << "TableauAdresse=1" << "1" << true;
        QTest::newRow("German date and type") << "ZL" << "de_DE" << 0
            << Steps{"1;1;05.12.2026;1", "7;2;warn;0"}
            << "Start_Datum_Filter>#12/5/2026# and Meldeleuchte=2" << "warn" << true;
        QTest::newRow("German short year") << "ZL" << "de_DE" << 0 << Steps{"3;2;5.12.26;0"}
            << "Quittiert_Datum_Filter=#12/5/2026#" << "5.12.26" << true;
        QTest::newRow("US date") << "ZL" << "en_US" << 1 << Steps{"5;0;12/5/2026;0"}
            << "Stop_Datum_Filter<#12/5/2026#" << "12/5/2026" << true;
        QTest::newRow("time") << "ZL" << "de_DE" << 0 << Steps{"6;0;14:03;0"}
            << "Stop_Uhrzeit_Filter<#14:03#" << "14:03" << true;
        QTest::newRow("US time") << "ZL" << "en_US" << 1 << Steps{"2;1;2:03 PM;0"}
            << "Start_Uhrzeit_Filter>#14:03#" << "2:03 PM" << true;
        QTest::newRow("type alarm any case") << "ZL" << "de_DE" << 1 << Steps{"7;2;ALARM;0"}
            << "Meldeleuchte=1" << "ALARM" << true;
        QTest::newRow("type other word") << "ZL" << "de_DE" << 0 << Steps{"7;3;Feuer;0"}
            << "Meldeleuchte<>0" << "Feuer" << true;
        QTest::newRow("test yes") << "ZL" << "de_DE" << 0 << Steps{"8;2;Ja;0"}
            << "Test_JN=1" << "Ja" << true;
        QTest::newRow("test English word in German") << "ZL" << "de_DE" << 0 << Steps{"8;2;yes;0"}
            << "Test_JN=0" << "yes" << true;
        QTest::newRow("RQ internal address as typed") << "RQ" << "de_DE" << 0 << Steps{"10;2;0;0"}
            << "(GeraeteAdresse2=0 and Eingang<2)" << "0" << true;
        QTest::newRow("RQ external address clamped") << "RQ" << "de_DE" << 0 << Steps{"9;2;0;0"}
            << "(GeraeteAdresse1=0 and Eingang<2)" << "0" << true;
        QTest::newRow("RQ external address less one") << "RQ" << "de_DE" << 0 << Steps{"9;2;5;0"}
            << "(GeraeteAdresse1=4 and Eingang<2)" << "4" << true;
        QTest::newRow("ZL external address as typed") << "ZL" << "de_DE" << 0 << Steps{"9;1;005;0"}
            << "(GeraeteAdresse1>5 and Eingang<2)" << "5" << true;
        QTest::newRow("PV negative address") << "PV" << "de_DE" << 0 << Steps{"10;2;-3;0"}
            << "(GeraeteAdresse2=0 and Eingang<2)" << "0" << true;
        QTest::newRow("unknown class both less one") << "XY" << "de_DE" << 0 << Steps{"10;2;5;2", "9;2;5;0"}
            << "(GeraeteAdresse2=4 and Eingang<2) or (GeraeteAdresse1=4 and Eingang<2)" << "4" << true;
        QTest::newRow("bus channel") << "ZL" << "de_DE" << 0 << Steps{"11;3;3;0"}
            << "(Kanal<>3 and Eingang<2)" << "3" << true;
        QTest::newRow("digital input") << "ZL" << "de_DE" << 0 << Steps{"12;2;1;0"}
            << "(Kanal=0 and Eingang=2)" << "0" << true;
        QTest::newRow("EIB channel value box kept") << "ZL" << "de_DE" << 0 << Steps{"13;2;1;0"}
            << "(EIBEingang=0 and Eingang=3)" << "1" << true;
        QTest::newRow("text pattern default") << "ZL" << "de_DE" << 0 << Steps{"15;0;-;0"}
            << "Text2 like '*Text*'" << "*Text*" << true;
        QTest::newRow("text pattern with quote") << "ZL" << "de_DE" << 0 << Steps{"14;2;O'Brien*;0"}
            << "Text1 like 'O''Brien*'" << "O'Brien*" << true;
        QTest::newRow("building with and") << "ZL" << "de_DE" << 0 << Steps{"0;2;1;1"}
            << "TableauAdresse=1 and " << "1" << false;
        QTest::newRow("or") << "ZL" << "de_DE" << 0 << Steps{"0;2;1;2", "0;2;2;0"}
            << "TableauAdresse=1 or TableauAdresse=2" << "2" << true;
    }

    void clause()
    {
        QFETCH(QString, deviceClass);
        QFETCH(QString, locale);
        QFETCH(int, language);
        QFETCH(Steps, steps);
        QFETCH(QString, clause);
        QFETCH(QString, valueBox);
        QFETCH(bool, complete);

        FilterWindow w;
        w.fx->texts.gLanguageOffset = qint16(language);
        QVERIFY(w.open(deviceClass));
        w.dlg->setLocale(QLocale(locale));
        for (const QString &s : steps)
            w.step(s);
        QCOMPARE(w.filter()->toPlainText(), clause);
        QCOMPARE(w.wert()->text(), valueBox);
        QCOMPARE(w.add()->isEnabled(), !complete);
        QCOMPARE(w.cmd(1)->isEnabled(), complete);
        QCOMPARE(w.op2()->currentIndex(), 0);
        QVERIFY(w.fx->asker.messages.isEmpty());
    }

    void textPatternFixesOperator()
    {
        FilterWindow w;
        QVERIFY(w.open());
        w.op1()->setCurrentIndex(0);
        w.feld()->setCurrentIndex(15);
        w.dlg->cmb_feld_Click();
        QCOMPARE(w.op1()->currentText(), QStringLiteral("="));
        QVERIFY(!w.op1()->isEnabled());
        w.feld()->setCurrentIndex(11);
        w.dlg->cmb_feld_Click();
        QVERIFY(w.op1()->isEnabled());
    }

    void badValueKeepsWindow_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("step");
        QTest::addColumn<QString>("messageStart");
        const QString number = QStringLiteral("Der Wert ist keine ganze Zahl");
        QTest::newRow("letters for an address") << "de_DE" << 0 << "9;2;abc;0" << number;
        QTest::newRow("clause text for the panel") << "de_DE" << 0 << "0;2;1 or 1=1;0" << number;
        QTest::newRow("empty EIB channel") << "de_DE" << 1 << "13;2;;0"
                                           << "The value is not a whole number";
        QTest::newRow("no such day") << "de_DE" << 0 << "1;2;31.02.2026;0"
                                     << "Der Wert ist kein gültiges Datum. Bitte geben Sie das Datum so ein: ";
        QTest::newRow("words for a date") << "en_US" << 1 << "5;2;yesterday;0"
                                          << "The value is not a valid date. Please enter the date like this: ";
        QTest::newRow("hour 25") << "de_DE" << 0 << "2;2;25:00;0" << "Der Wert ist keine gültige Uhrzeit";
        QTest::newRow("time with a quote") << "de_DE" << 0 << "4;2;12:00#';0" << "Der Wert ist keine gültige Uhrzeit";
    }

    void badValueKeepsWindow()
    {
        QFETCH(QString, locale);
        QFETCH(int, language);
        QFETCH(QString, step);
        QFETCH(QString, messageStart);
        FilterWindow w;
        w.fx->texts.gLanguageOffset = qint16(language);
        QVERIFY(w.open());
        w.dlg->setLocale(QLocale(locale));
        w.dlg->show();
        w.step(step);
        QCOMPARE(w.fx->asker.messages.size(), 1);
        QVERIFY2(w.fx->asker.messages[0].text.startsWith(messageStart),
                 qPrintable(w.fx->asker.messages[0].text));
        QVERIFY(w.filter()->toPlainText().isEmpty());
        QVERIFY(w.add()->isEnabled());
        QVERIFY(!w.cmd(1)->isEnabled());
        QVERIFY(w.dlg->isVisible());
    }

    void filterShowsMatchingEvents_data()
    {
        QTest::addColumn<Steps>("steps");
        QTest::addColumn<QStringList>("panels");
        QTest::addColumn<bool>("background");
        QTest::newRow("warnings") << Steps{"7;2;Warn;0"} << QStringList{"0", "1", "3"} << false;
        QTest::newRow("text pattern ignores case")
            << Steps{"14;2;tür*;0"} << QStringList{"2", "3"} << false;
        QTest::newRow("or") << Steps{"0;2;3;2", "7;2;Alarm;0"} << QStringList{"2", "3"} << false;
        QTest::newRow("nothing matches") << Steps{"0;1;50;0"} << QStringList{} << false;
        QTest::newRow("or in the background")
            << Steps{"0;2;3;2", "7;2;Alarm;0"} << QStringList{"2", "3"} << true;
        QTest::newRow("nothing in the background") << Steps{"0;1;50;0"} << QStringList{} << true;
    }

    void filterShowsMatchingEvents()
    {
        QFETCH(Steps, steps);
        QFETCH(QStringList, panels);
        QFETCH(bool, background);
        FilterWindow w;
        QVERIFY(w.fx->create());
        QVERIFY(w.addEvents());
        w.fx->view.backgroundFrom = background ? 0 : 1000;
        QVERIFY(w.reopen());
        QTRY_COMPARE(w.panels(), (QStringList{"0", "1", "2", "3"}));
        for (const QString &s : steps)
            w.step(s);
        w.dlg->cmd_1_Click(1);
        QCOMPARE(w.dlg->result(), int(QDialog::Accepted));
        QTRY_VERIFY(!w.history->isBusy());
        QCOMPARE(w.panels(), panels);
        QCOMPARE(w.fx->store.gHistoryRecordset->recordCount(), panels.size());
        QVERIFY(w.fx->asker.messages.isEmpty());
        for (int c : {3, 5, 7})
            QVERIFY(w.history->grid()->isColumnHidden(c));
        QCOMPARE(w.fx->historyCount(), 4);
    }

    void resetFilter()
    {
        FilterWindow w;
        QVERIFY(w.fx->create());
        QVERIFY(w.addEvents());
        QVERIFY(w.reopen());
        w.step(QStringLiteral("0;2;1;1")); // half-built clauses do not matter
        w.history->GridClick(0, 12);
        w.dlg->cmd_1_Click(2);
        QCOMPARE(w.filter()->toPlainText(), QStringLiteral("TableauAdresse>0"));
        QCOMPARE(w.dlg->result(), int(QDialog::Accepted));
        QCOMPARE(w.panels(), (QStringList{"1", "2", "3"}));
        QCOMPARE(w.history->gridModel()->cellText(0, 0), QStringLiteral("1"));
    }

    void refusedClauseLeavesGrid_data()
    {
        QTest::addColumn<QString>("clause");
        QTest::newRow("empty") << "";
        QTest::newRow("unbalanced text") << "Text1 like 'abc";
        QTest::newRow("missing value") << "TableauAdresse>";
        QTest::newRow("word for a number") << "TableauAdresse>and";
        QTest::newRow("unknown field") << "Nonsense=1";
        QTest::newRow("second statement") << "TableauAdresse>0; DELETE FROM HISTORY";
        QTest::newRow("write in a subquery") << "TableauAdresse in (DELETE FROM HISTORY)";
    }

    void refusedClauseLeavesGrid()
    {
        QFETCH(QString, clause);
        FilterWindow w;
        QVERIFY(w.fx->create());
        QVERIFY(w.addEvents());
        QVERIFY(w.reopen());
        w.history->GridClick(0, 1);
        w.history->GridClick(0, 1); // descending: 3, 2, 1, 0
        const Recordset *before = w.fx->store.gHistoryRecordset.get();
        w.filter()->setPlainText(clause);
        w.dlg->cmd_1_Click(1);
        QCOMPARE(w.fx->asker.messages.size(), 1);
        // The clause and the database's reason, below the message.
        const QStringList parts = w.fx->asker.messages[0].text.split("\n\n");
        QCOMPARE(parts.value(0), QStringLiteral("SQL-Fehler"));
        QCOMPARE(parts.value(1), clause.trimmed());
        QVERIFY(parts.value(2).startsWith("Antwort der Datenbank:\n") && parts.value(2).size() > 24);
        QCOMPARE(w.fx->asker.messages[0].icon, Asker::Icon::Critical);
        QVERIFY(w.fx->asker.messages[0].systemModal);
        QCOMPARE(w.dlg->result(), int(QDialog::Rejected));
        QCOMPARE(w.fx->store.gHistoryRecordset.get(), before);
        QCOMPARE(w.panels(), (QStringList{"3", "2", "1", "0"}));
        QCOMPARE(w.fx->historyCount(), 4);
    }
};

QTEST_MAIN(TestFilter)
#include "tst_filter.moc"
