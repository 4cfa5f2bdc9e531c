#include "view_helper.h"

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
using namespace qvr::viewtest;

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
        if (!fx->create(deviceClass, language) || !fx->addEvent(fields) ||
            !HistorySchema::OpenTable(fx->store, "HISTORY"))
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
    template <class T = QWidget> T *get(const QString &name) const
    {
        return w->findChild<T *>(name);
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

const QString k20 = "ABCDEFGHIJKLMNOPQRST";

} // namespace

class TestDetail : public QObject
{
    Q_OBJECT

private slots:
    // The input type decides the channel list, its caption, the groups shown and whether
    // a measured value or alarm address can be shown at all; date and time always can.
    void inputType_data()
    {
        QTest::addColumn<QString>("deviceClass");
        QTest::addColumn<QVariantMap>("fields");
        // First and last channel entry, channel shown, its caption, address group shown,
        // input mode group shown, the measured value's place.
        QTest::addColumn<QString>("expected");
        auto row = [](const char *tag, const char *cls, QVariantMap m, const char *expected) {
            m.insert(QVariantMap{
                {"Text", 1}, {"Messwert", 3}, {"Datum_Uhrzeit", 2}, {"Alarmadresse", 4}});
            QTest::newRow(tag) << cls << m << QString::fromUtf8(expected);
        };
        row("EIB input 5", "ZL", {{"Eingang", 3}, {"EIBEingang", 5}, {"Kanal", 9}},
            "1 16 5 Kanal 0 0 nein");
        row("external, internal address 0", "ZL",
            {{"Eingang", 0}, {"GeraeteAdresse2", 0}, {"Kanal", 27}},
            "Geräteausfall 32 27 Kanal 1 0 Zeile3");
        row("external, internal address 3", "ZL",
            {{"Eingang", 0}, {"GeraeteAdresse2", 3}, {"Kanal", 7}},
            "Geräteausfall 12 7 Kanal 1 0 Zeile3");
        row("device failure", "PV", {{"Eingang", 1}, {"GeraeteAdresse2", 4}, {"Kanal", 0}},
            "Geräteausfall 12 Geräteausfall Kanal 1 0 Zeile3");
        row("digital input", "ZL", {{"Eingang", 2}, {"Kanal", 4}}, "1 32 5 Nr. 0 1 nein");
    }

    void inputType()
    {
        QFETCH(QString, deviceClass);
        QFETCH(QVariantMap, fields);
        Detail d;
        QVERIFY(d.open(deviceClass, fields));
        const QComboBox *channels = d.combo(0);
        const QStringList shown{
            channels->itemText(0),
            channels->itemText(channels->count() - 1),
            d.shown(0),
            d.get<QLabel>("Label1(2)")->text(),
            QString::number(d.get("Frame1")->isVisible()),
            QString::number(d.get("Frame7")->isVisible() && d.combo(5)->isVisible()),
            d.shown(16)};
        QTEST(shown.join(' '), "expected");
        const bool value = d.shown(16) != "nein";
        QCOMPARE(d.box("Meßwert")->isVisible(), value);
        QCOMPARE(d.box("Alarmadresse")->isVisible(), value);
        QCOMPARE(d.combo(18)->isEnabled(), value);
        QCOMPARE(d.shown(17), "Zeile2");
        QVERIFY(d.box("Datum_Uhrzeit")->isVisible());
    }

    // The user changes the input type: the channel list changes in place and keeps the
    // channel where it can.
    void channelListFollowsUser_data()
    {
        QTest::addColumn<QVariantMap>("fields");
        QTest::addColumn<int>("input");
        QTest::addColumn<QString>("channel");
        QTest::addColumn<int>("count");
        QTest::newRow("EIB 5 to external bus")
            << QVariantMap{{"Eingang", 3}, {"EIBEingang", 5}, {"GeraeteAdresse2", 3}} << 0 << "5"
            << 13;
        QTest::newRow("channel 20 to internal bus") << QVariantMap{{"Kanal", 20}} << 1 << "1" << 13;
        QTest::newRow("failure to digital input")
            << QVariantMap{{"Eingang", 1}, {"Kanal", 0}} << 2 << "1" << 32;
        QTest::newRow("channel 9 to EIB")
            << QVariantMap{{"Kanal", 9}, {"GeraeteAdresse2", 1}} << 3 << "9" << 16;
    }

    void channelListFollowsUser()
    {
        QFETCH(QVariantMap, fields);
        QFETCH(int, input);
        fields.insert("Datum_Uhrzeit", 2);
        Detail d;
        QVERIFY(d.open("ZL", fields));
        d.choose(3, input);
        QTEST(d.shown(0), "channel");
        QTEST(d.combo(0)->count(), "count");
        QCOMPARE(d.shown(17), "Zeile2"); // kept whatever the input
    }

    // Values laid over the display lines, by the fill and by the user; the line's
    // maximum length as the user types.
    void placement()
    {
        Detail d;
        QVERIFY(d.open("ZL", {{"Text", 1},
                              {"Messwert", 2},
                              {"Datum_Uhrzeit", 2},
                              {"Alarmadresse", 4},
                              {"Text1", "Zeile eins"},
                              {"Text2", "Temperatur Halle 2ab"},
                              {"Text3", "Luefter Nord    3 cd"},
                              {"Text4", "Pumpe 4 Keller xyz "}}));
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
        auto row = [](const char *tag, const char *cls, const char *field, int value, int list,
                      const char *shown) {
            QTest::newRow(tag) << QString(cls) << QString(field) << value << list
                               << QString::fromUtf8(shown);
        };
        row("PV virtual 12", "PV", "EIBAusgang", 12, 19, "146/12");
        row("PV virtual 50 beyond", "PV", "EIBAusgang", 50, 19, "<150/02 (!)>");
        row("ZL relay 40 beyond", "ZL", "Relais_a", 40, 7, "<40 (!)>");
        row("alarm type pre-alarm", "PV", "EIBEingang", 7, 21, "Voralarm");
        row("buzzer unchanged", "ZL", "Summer", 2, 6, "unverändert");
    }

    void listValues()
    {
        QFETCH(QString, deviceClass);
        QFETCH(QString, field);
        QFETCH(int, value);
        QFETCH(int, list);
        Detail d;
        QVERIFY(d.open(deviceClass, {{field, value}, {"Eingang", 0}}));
        QTEST(d.shown(list), "shown");
        // A value without an entry reads in the normal colour, not greyed out.
        const QPalette colours = d.combo(list)->palette();
        QCOMPARE(colours.color(QPalette::PlaceholderText), colours.color(QPalette::ButtonText));
        if (list == 7) // a relay number shows its mode
            QVERIFY(d.get("Frame2")->isVisible());
    }

    // Which lists each class shows, captions per window and language.
    void windowPerClass_data()
    {
        QTest::addColumn<QString>("deviceClass");
        QTest::addColumn<int>("language");
        // Virtual devices (else alarm type) shown, captions of relay B and the address,
        // the input mode shown, the relay entries.
        QTest::addColumn<QString>("expected");
        QTest::newRow("ZL German")
            << "ZL" << 0 << QString::fromUtf8("1|Relais Nr.|Geräteadresse|Ruhestrom|17");
        QTest::newRow("PV English") << "PV" << 1 << "0|Output: B|Address ext.|Alarm at 24V|193";
        QTest::newRow("RQ German") << "RQ" << 0 << "1|Ausgang: B|Adresse ext.|Alarm bei 24V|193";
    }

    void windowPerClass()
    {
        QFETCH(QString, deviceClass);
        QFETCH(int, language);
        Detail d;
        d.fx->texts.gLanguageOffset = qint16(language);
        QVERIFY(d.open(deviceClass, {{"Betriebsart1", 1}}));
        const bool virtualDevice = d.get("Combo1(19)")->isVisible();
        QCOMPARE(d.get("Label1(26)")->isVisible(), virtualDevice);
        QCOMPARE(d.get("Combo1(21)")->isVisible(), !virtualDevice);
        QCOMPARE(d.get("Label1(28)")->isVisible(), !virtualDevice);
        const QStringList shown{QString::number(virtualDevice), d.get<QLabel>("Label1(8)")->text(),
                                d.get<QLabel>("Label1(1)")->text(), d.shown(4),
                                QString::number(d.combo(7)->count())};
        QTEST(shown.join('|'), "expected");
    }

    // The grid's row click opens the window of the file's class on the clicked event: an RQ
    // panel's is the PV window.
    void gridOpensWindowOfClass()
    {
        HistoryFixture fx;
        QVERIFY(fx.create("RQ"));
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
        QCOMPARE(opened, "frm_Warn_StormeldungPV");
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
        QVariantMap fields{
            {"Relais_a", 2}, {"Text", 1}, {"Messwert", 1}, {"Eingang", 0}, {"Kanal", 3}};
        for (int j = 1; j <= 6; ++j)
            fields.insert(QStringLiteral("Text%1").arg(j),
                          QStringLiteral("Caf%1 %2  ").arg(QChar(3)).arg(j));
        Detail d;
        QVERIFY(d.open(deviceClass, fields, "03"));
        for (int j = 0; j < 6; ++j)
            QCOMPARE(d.line(j)->text(),
                     j < filledLines ? QString::fromUtf8("Café %1").arg(j + 1) : QString());

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
        for (const char *f : {"Relais_a", "Eingang", "Text", "Text1"})
            QCOMPARE(rs->field(f).toString(), fields.value(f).toString());
    }
};

QTEST_MAIN(TestDetail)
#include "tst_detail.moc"
