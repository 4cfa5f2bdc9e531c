#include "grid_test_helper.h"

#include "view/frm_Historiendaten.h"
#include "view/frm_Warn_StormeldungPV.h"
#include "view/frm_Warn_StormeldungZL.h"

#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QtTest>

#include <memory>

using namespace qvr;
using namespace qvr::gridtest;

Q_DECLARE_METATYPE(QVariantMap)

namespace {

// One event in a history file of the given class, its detail window shown on it.
struct Detail
{
    std::unique_ptr<HistoryFixture> fx = std::make_unique<HistoryFixture>();
    std::unique_ptr<frm_Warn_StormeldungBase> w;

    bool open(const QString &deviceClass, QVariantMap fields, const QString &language = "1")
    {
        if (!fields.contains("Meldeleuchte"))
            fields.insert("Meldeleuchte", 1);
        if (!fx->create(deviceClass, language) || !fx->addEvent(fields)
            || !HistorySchema::OpenTable(fx->store, "HISTORY"))
            return false;
        fx->readout.gDeviceClass = deviceClass;
        fx->readout.gTextLanguage = language;
        if (deviceClass == "PV" || deviceClass == "RQ")
            w = std::make_unique<frm_Warn_StormeldungPV>(fx->store, fx->readout, fx->texts);
        else
            w = std::make_unique<frm_Warn_StormeldungZL>(fx->store, fx->readout, fx->texts);
        w->show();
        return QTest::qWaitForWindowExposed(w.get());
    }
    template<class T = QWidget>
    T *get(const QString &name) const
    {
        T *c = w->findChild<T *>(name);
        if (!c)
            qWarning() << "no control" << name;
        return c;
    }
    QComboBox *combo(int i) const { return get<QComboBox>(QStringLiteral("Combo1(%1)").arg(i)); }
    QLineEdit *line(int j) const { return get<QLineEdit>(QStringLiteral("Text1(%1)").arg(j)); }
    QLineEdit *box(const char *name) const { return get<QLineEdit>(QString::fromUtf8(name)); }
    // What the list shows: its selected entry, or the value it has no entry for.
    QString shown(int i) const
    {
        QComboBox *c = combo(i);
        return c->currentIndex() >= 0 ? c->currentText() : "<" + c->placeholderText() + ">";
    }
    // The user picks entry k of list i.
    void choose(int i, int k) const
    {
        combo(i)->setCurrentIndex(k);
        emit combo(i)->activated(k);
    }
    // The user clears line j and types `text` into it.
    QString typeInto(int j, const QString &text) const
    {
        line(j)->clear();
        line(j)->setFocus();
        QTest::keyClicks(line(j), text);
        return line(j)->text();
    }
};

QStringList entries(const QComboBox *c)
{
    QStringList out;
    for (int i = 0; i < c->count(); ++i)
        out << c->itemText(i);
    return out;
}

const QString k20 = "ABCDEFGHIJKLMNOPQRST";

} // namespace

class TestDetail : public QObject
{
    Q_OBJECT

private slots:
    // The input type decides the channel list, its caption, the groups shown and whether
    // a measured value or alarm address can be shown at all.
    void inputType_data()
    {
        QTest::addColumn<QString>("deviceClass");
        QTest::addColumn<QVariantMap>("fields");
        QTest::addColumn<QString>("firstEntry");
        QTest::addColumn<QString>("lastEntry");
        QTest::addColumn<QString>("channel");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<bool>("addresses");
        QTest::addColumn<bool>("inputMode");
        QTest::addColumn<QString>("measuredValue");

        const QVariantMap placed{{"Text", 1}, {"Messwert", 3}, {"Alarmadresse", 4}};
        auto with = [&](QVariantMap m) {
            for (auto it = placed.cbegin(); it != placed.cend(); ++it)
                m.insert(it.key(), it.value());
            return m;
        };
        QTest::newRow("EIB input 5") << "ZL" << with({{"Eingang", 3}, {"EIBEingang", 5}, {"Kanal", 9}})
                                     << "1" << "16" << "5" << "Kanal" << false << false << "nein";
        QTest::newRow("external, internal address 0") << "ZL" << with({{"Eingang", 0}, {"GeraeteAdresse2", 0}, {"Kanal", 27}})
                                     << QString::fromUtf8("Geräteausfall") << "32" << "27" << "Kanal" << true << false << "Zeile3";
        QTest::newRow("external, internal address 3") << "ZL" << with({{"Eingang", 0}, {"GeraeteAdresse2", 3}, {"Kanal", 7}})
                                     << QString::fromUtf8("Geräteausfall") << "12" << "7" << "Kanal" << true << false << "Zeile3";
        QTest::newRow("device failure") << "PV" << with({{"Eingang", 1}, {"GeraeteAdresse2", 4}, {"Kanal", 0}})
                                     << QString::fromUtf8("Geräteausfall") << "12" << QString::fromUtf8("Geräteausfall")
                                     << "Kanal" << true << false << "Zeile3";
        QTest::newRow("digital input") << "ZL" << with({{"Eingang", 2}, {"Kanal", 4}})
                                     << "1" << "32" << "5" << "Nr." << false << true << "nein";
    }

    void inputType()
    {
        QFETCH(QString, deviceClass);
        QFETCH(QVariantMap, fields);
        Detail d;
        QVERIFY(d.open(deviceClass, fields));
        const QStringList channels = entries(d.combo(0));
        QTEST(channels.first(), "firstEntry");
        QTEST(channels.last(), "lastEntry");
        QTEST(d.shown(0), "channel");
        QTEST(d.get<QLabel>("Label1(2)")->text(), "caption");
        QTEST(d.get("Frame1")->isVisible(), "addresses");
        QTEST(d.get("Frame7")->isVisible(), "inputMode");
        QTEST(d.combo(5)->isVisible(), "inputMode");
        QTEST(d.shown(16), "measuredValue");
        QCOMPARE(d.box("Meßwert")->isVisible(), d.shown(16) != "nein");
        QCOMPARE(d.box("Alarmadresse")->isVisible(), d.shown(16) != "nein");
        QCOMPARE(d.combo(18)->isEnabled(), d.shown(16) != "nein");
    }

    // The user changes the input type: the channel list changes in place and keeps the
    // channel where it can.
    void channelListFollowsUser_data()
    {
        QTest::addColumn<QVariantMap>("fields");
        QTest::addColumn<int>("input");
        QTest::addColumn<QString>("channel");
        QTest::addColumn<int>("count");
        QTest::newRow("EIB 5 to external bus") << QVariantMap{{"Eingang", 3}, {"EIBEingang", 5}, {"GeraeteAdresse2", 3}}
                                               << 0 << "5" << 13;
        QTest::newRow("channel 20 to internal bus") << QVariantMap{{"Eingang", 0}, {"Kanal", 20}}
                                                    << 1 << "1" << 13;
        QTest::newRow("failure to digital input") << QVariantMap{{"Eingang", 1}, {"Kanal", 0}}
                                                  << 2 << "1" << 32;
        QTest::newRow("channel 9 to EIB") << QVariantMap{{"Eingang", 0}, {"Kanal", 9}, {"GeraeteAdresse2", 1}}
                                          << 3 << "9" << 16;
    }

    void channelListFollowsUser()
    {
        QFETCH(QVariantMap, fields);
        QFETCH(int, input);
        Detail d;
        QVERIFY(d.open("ZL", fields));
        d.choose(3, input);
        QTEST(d.shown(0), "channel");
        QTEST(d.combo(0)->count(), "count");
    }

    // Values laid over the display lines, by the fill and by the user; the line's
    // maximum length as the user types.
    void placement()
    {
        Detail d;
        QVERIFY(d.open("ZL", {{"Text", 1}, {"Messwert", 2}, {"Datum_Uhrzeit", 2}, {"Alarmadresse", 4},
                              {"Text1", "Zeile eins"}, {"Text2", "Temperatur Halle 2ab"},
                              {"Text3", "Luefter Nord    3 cd"}, {"Text4", "Pumpe 4 Keller xyz "}}));
        QLineEdit *value = d.box("Meßwert");
        QLineEdit *dateTime = d.box("Datum_Uhrzeit");
        QLineEdit *address = d.box("Alarmadresse");
        QVERIFY(value->isVisible() && dateTime->isVisible() && address->isVisible());
        QCOMPARE(value->y(), d.line(1)->y());
        QCOMPARE(dateTime->y(), d.line(1)->y());
        QCOMPARE(value->text(), "XXXXX XX");
        QCOMPARE(d.line(1)->text(), "Temperatur Halle 2ab"); // full text under both boxes
        QCOMPARE(d.line(3)->text(), "Pumpe 4 Keller xyz");   // trailing blank dropped

        d.choose(16, 3); // measured value to line 3
        QCOMPARE(value->y(), d.line(2)->y());
        QCOMPARE(d.line(2)->text(), "Luefter Nord");

        // The alarm address on line 4 leaves 10 characters to type; "nein" gives 20 back.
        QCOMPARE(d.typeInto(3, k20 + "UVW"), k20.left(10));
        d.choose(18, 0);
        QVERIFY(!address->isVisible());
        QCOMPARE(d.typeInto(3, k20 + "UVW"), k20);
        d.choose(18, 5);
        QCOMPARE(d.typeInto(4, k20), k20.left(10));
        QCOMPARE(d.typeInto(3, k20), k20);

        // A click on the alarm address puts the cursor into its line.
        d.line(0)->setFocus();
        d.w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(d.w.get()));
        QTest::mouseClick(address, Qt::LeftButton);
        QCOMPARE(QApplication::focusWidget(), d.line(4));
    }

    // Entries of the lists whose range differs per window, and stored values beyond a
    // list's end: the window opens and shows the stored value.
    void listValues_data()
    {
        QTest::addColumn<QString>("deviceClass");
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("list");
        QTest::addColumn<QString>("shown");
        QTest::newRow("PV virtual 1") << "PV" << "EIBAusgang" << 1 << 19 << "146/01";
        QTest::newRow("PV virtual 12") << "PV" << "EIBAusgang" << 12 << 19 << "146/12";
        QTest::newRow("PV virtual 13") << "RQ" << "EIBAusgang" << 13 << 19 << "147/01";
        QTest::newRow("PV virtual 48") << "PV" << "EIBAusgang" << 48 << 19 << "149/12";
        QTest::newRow("PV virtual 50 beyond") << "PV" << "EIBAusgang" << 50 << 19 << "<150/02 (!)>";
        QTest::newRow("PV relay 100") << "PV" << "Relais_b" << 100 << 9 << "100";
        QTest::newRow("PV digital input 150 beyond") << "PV" << "Kanal" << 149 << 0 << "<150 (!)>";
        QTest::newRow("ZL relay 40 beyond") << "ZL" << "Relais_a" << 40 << 7 << "<40 (!)>";
        QTest::newRow("buzzer repeat 30") << "ZL" << "Summerwiederholung" << 30 << 20 << "30 min";
        QTest::newRow("buzzer repeat 31 beyond") << "ZL" << "Summerwiederholung" << 31 << 20 << "<31 min (!)>";
        QTest::newRow("alarm type pre-alarm") << "PV" << "EIBEingang" << 7 << 21 << "Voralarm";
        QTest::newRow("buzzer unchanged") << "ZL" << "Summer" << 2 << 6 << QString::fromUtf8("unverändert");
    }

    void listValues()
    {
        QFETCH(QString, deviceClass);
        QFETCH(QString, field);
        QFETCH(int, value);
        QFETCH(int, list);
        Detail d;
        QVERIFY(d.open(deviceClass, {{field, value}, {"Eingang", list == 0 ? 2 : 0}}));
        QTEST(d.shown(list), "shown");
        // A value without an entry reads in the normal colour, not greyed out.
        const QPalette colours = d.combo(list)->palette();
        QCOMPARE(colours.color(QPalette::PlaceholderText), colours.color(QPalette::ButtonText));
        if (list == 7 || list == 9 || list == 11) // a relay number shows its mode
            QVERIFY(d.get(QStringLiteral("Frame%1").arg(2 + (list - 7) / 2))->isVisible());
    }

    // Which lists each class shows, captions per window and language.
    void windowPerClass_data()
    {
        QTest::addColumn<QString>("deviceClass");
        QTest::addColumn<int>("language");
        QTest::addColumn<bool>("virtualDevice");
        QTest::addColumn<QString>("relayCaption");
        QTest::addColumn<QString>("addressCaption");
        QTest::addColumn<QString>("inputMode");
        QTest::addColumn<int>("relayEntries");
        QTest::newRow("ZL German") << "ZL" << 0 << true << "Relais Nr." << QString::fromUtf8("Geräteadresse")
                                   << "Ruhestrom" << 17;
        QTest::newRow("PV English") << "PV" << 1 << false << "Output: B" << "Address ext." << "Alarm at 24V" << 193;
        QTest::newRow("RQ German") << "RQ" << 0 << true << "Ausgang: B" << "Adresse ext." << "Alarm bei 24V" << 193;
    }

    void windowPerClass()
    {
        QFETCH(QString, deviceClass);
        QFETCH(int, language);
        QFETCH(bool, virtualDevice);
        Detail d;
        d.fx->texts.gLanguageOffset = qint16(language);
        QVERIFY(d.open(deviceClass, {{"Betriebsart1", 1}}));
        QCOMPARE(d.get("Combo1(19)")->isVisible(), virtualDevice);
        QCOMPARE(d.get("Label1(26)")->isVisible(), virtualDevice);
        QCOMPARE(d.get("Combo1(21)")->isVisible(), !virtualDevice);
        QCOMPARE(d.get("Label1(28)")->isVisible(), !virtualDevice);
        QTEST(d.get<QLabel>("Label1(8)")->text(), "relayCaption");
        QTEST(d.get<QLabel>("Label1(1)")->text(), "addressCaption");
        QTEST(d.shown(4), "inputMode");
        QTEST(d.combo(7)->count(), "relayEntries");
    }

    // The grid's row click opens the window of the file's class on the clicked event.
    void gridOpensWindowOfClass_data()
    {
        QTest::addColumn<QString>("deviceClass");
        QTest::addColumn<QString>("window");
        QTest::newRow("ZL") << "ZL" << "frm_Warn_StormeldungZL";
        QTest::newRow("PV") << "PV" << "frm_Warn_StormeldungPV";
        QTest::newRow("RQ") << "RQ" << "frm_Warn_StormeldungPV";
    }

    void gridOpensWindowOfClass()
    {
        QFETCH(QString, deviceClass);
        HistoryFixture fx;
        QVERIFY(fx.create(deviceClass));
        QVERIFY(fx.addEvent({{"Meldeleuchte", 1}, {"Relais_a", 3}}));
        QVERIFY(fx.addEvent({{"Meldeleuchte", 2}, {"Relais_a", 5}}));
        frm_Historiendaten grid(fx.store, fx.readout, fx.view, fx.texts, fx.asker, nullptr);
        QString opened;
        QString relay;
        QTimer::singleShot(0, [&] {
            QWidget *modal = QApplication::activeModalWidget();
            if (!modal)
                return;
            opened = modal->objectName();
            relay = modal->findChild<QComboBox *>("Combo1(7)")->currentText();
            modal->close();
        });
        grid.GridClick(2, 1);
        QTEST(opened, "window");
        QCOMPARE(relay, "5");
    }

    // Lines pass through the device character set; the second window fills three only.
    // Nothing chosen in the window reaches the file, and reopening shows the record again.
    void linesAndNothingWrittenBack_data()
    {
        QTest::addColumn<QString>("deviceClass");
        QTest::addColumn<int>("filledLines");
        QTest::newRow("ZL") << "ZL" << 6;
        QTest::newRow("PV") << "PV" << 3;
    }

    void linesAndNothingWrittenBack()
    {
        QFETCH(QString, deviceClass);
        QFETCH(int, filledLines);
        QVariantMap fields{{"Relais_a", 2}, {"Text", 1}, {"Messwert", 1}, {"Eingang", 0}, {"Kanal", 3}};
        for (int j = 1; j <= 6; ++j)
            fields.insert(QStringLiteral("Text%1").arg(j), QStringLiteral("Caf%1 %2  ").arg(QChar(3)).arg(j));
        Detail d;
        QVERIFY(d.open(deviceClass, fields, "03"));
        for (int j = 0; j < 6; ++j)
            QCOMPARE(d.line(j)->text(), j < filledLines ? QString::fromUtf8("Café %1").arg(j + 1) : QString());

        d.choose(7, 0);
        d.choose(15, 0);
        d.choose(3, 2);
        d.typeInto(0, "changed");
        QVERIFY(!d.get("Frame2")->isVisible());
        QVERIFY(!d.get("Frame5")->isVisible());
        d.w->close();
        d.w->show();
        QCOMPARE(d.shown(7), "2");
        QCOMPARE(d.shown(0), "3");
        QVERIFY(d.get("Frame5")->isVisible());
        QCOMPARE(d.line(0)->text(), QString::fromUtf8("Café 1"));

        auto rs = d.fx->store.gDatabase->openRecordset("Select * From HISTORY");
        QVERIFY(rs && rs->moveFirst());
        QCOMPARE(rs->field("Relais_a").toInt(), 2);
        QCOMPARE(rs->field("Eingang").toInt(), 0);
        QCOMPARE(rs->field("Text").toInt(), 1);
        QCOMPARE(rs->field("Text1").toString(), fields.value("Text1").toString());
    }
};

QTEST_MAIN(TestDetail)
#include "tst_detail.moc"
