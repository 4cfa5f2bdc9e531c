#include "store/HistoryMerge.h"

#include "store/HistorySchema.h"
#include "store/StoreState.h"

namespace qvr {

namespace {

bool report(const QString &message, QString *error)
{
    if (error)
        *error = message;
    return false;
}

QString two(int n)
{
    return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
}

// The key of a TEMP row, compared as the merge compares it: all three present, the start
// time to the second.
struct Key
{
    bool valid = false;
    int tableau = 0;
    qint16 parameter = 0;
    qint64 startSecs = 0;

    static Key of(const Recordset &temp)
    {
        Key k;
        const QVariant t = temp.field(QString::fromLatin1(HistorySchema::TableauAdresse));
        const QVariant p = temp.field(QString::fromLatin1(HistorySchema::ParameterNummer));
        const QVariant s = temp.field(QString::fromLatin1(HistorySchema::Start_Datum));
        if (t.isNull() || p.isNull() || s.isNull() || !s.toDateTime().isValid())
            return k;
        k.valid = true;
        k.tableau = t.toInt();
        k.parameter = qint16(p.toInt());
        k.startSecs = s.toDateTime().toSecsSinceEpoch();
        return k;
    }
    bool operator==(const Key &o) const
    {
        return valid && o.valid && tableau == o.tableau && parameter == o.parameter
            && startSecs == o.startSecs;
    }
};

} // namespace

const QStringList &HistoryMerge::copiedFields()
{
    using S = HistorySchema;
    static const QStringList fields = [] {
        QStringList l;
        for (const char *n :
             {S::TableauAdresse, S::ParameterNummer, S::Start_Datum, S::Start_Datum_Sort,
              S::Start_Datum_Filter, S::Start_Uhrzeit_Filter, S::Quittiert_JN, S::Quittiert_Datum,
              S::Quittiert_Datum_Sort, S::Quittiert_Datum_Filter, S::Quittiert_Uhrzeit_Filter,
              S::Stop_JN, S::Stop_Datum, S::Stop_Datum_Sort, S::Stop_Datum_Filter,
              S::Stop_Uhrzeit_Filter, S::Test_JN, S::Kanal, S::GeraeteAdresse1, S::GeraeteAdresse2,
              S::Eingang, S::Betriebsart1, S::Betriebsart2, S::Summer, S::Relais_a,
              S::Relais_a_Betriebsart1, S::Relais_b, S::Relais_b_Betriebsart1, S::Relais_c,
              S::Relais_c_Betriebsart1, S::Meldeleuchte, S::Tastenfeld, S::Text, S::Messwert,
              S::Datum_Uhrzeit, S::Alarmadresse, S::Text1, S::Text2, S::Text3, S::Text4, S::Text5,
              S::Text6, S::EIBEingang, S::EIBAusgang, S::Summerwiederholung, S::AnalogWertMin,
              S::AnalogWertMax, S::geraetetyp})
            l << QString::fromLatin1(n);
        return l;
    }();
    return fields;
}

const QStringList &HistoryMerge::keptFields()
{
    using S = HistorySchema;
    static const QStringList fields = [] {
        QStringList l;
        for (const char *n : {S::lfd_Nummer_data, S::Datenquelle, S::Systemnummer, S::AdresseExt,
                              S::AdresseInt, S::Kanalnummer, S::MinText, S::MinWert, S::MaxText,
                              S::MaxWert})
            l << QString::fromLatin1(n);
        return l;
    }();
    return fields;
}

QString HistoryMerge::dateLiteral(const QDateTime &dt)
{
    const QDate d = dt.date();
    const QTime t = dt.time();
    // Two digits for the year, as always, while the two-digit reading (1930-2029) gives
    // the year back; outside it four digits, so an event of 2030 never matches 1930.
    const int y = d.year();
    const QString year = (y >= 1930 && y <= 2029) ? two(y % 100) : QString::number(y);
    int h12 = t.hour() % 12;
    if (h12 == 0)
        h12 = 12;
    return QLatin1Char('#') + two(d.month()) + QLatin1Char('/') + two(d.day()) + QLatin1Char('/') + year
        + QLatin1Char(' ') + two(h12) + QLatin1Char(':') + two(t.minute()) + QLatin1Char(':')
        + two(t.second()) + (t.hour() < 12 ? QStringLiteral(" AM#") : QStringLiteral(" PM#"));
}

QString HistoryMerge::matchCriteria(const QVariant &tableauAdresse, const QVariant &parameterNummer,
                                    const QVariant &startDatum)
{
    if (tableauAdresse.isNull() || parameterNummer.isNull() || startDatum.isNull()
        || !startDatum.toDateTime().isValid())
        return QString();
    return QStringLiteral("TableauAdresse=") + QString::number(tableauAdresse.toLongLong())
        + QStringLiteral(" and ParameterNummer=") + QString::number(parameterNummer.toLongLong())
        + QStringLiteral(" and Start_Datum=") + dateLiteral(startDatum.toDateTime());
}

bool HistoryMerge::CopyTempRowToHistory(StoreState &store, bool notFound, QString *error)
{
    Recordset *temp = store.gTempRecordset.get();
    Recordset *hist = store.gHistoryRecordset.get();
    if (!temp || !hist)
        return report(QStringLiteral("HISTORY or TEMP is not open"), error);
    if (notFound && !HistorySchema::AppendEmptyHistoryRow(store, error))
        return false;
    if (!hist->edit())
        return report(hist->lastError(), error);
    for (const QString &name : copiedFields()) {
        const int from = temp->fieldIndex(name);
        if (from < 0)
            return report(QStringLiteral("TEMP has no field %1").arg(name), error);
        if (!hist->setField(name, temp->field(from)))
            return report(hist->lastError(), error);
    }
    if (!hist->update()) {
        const QString why = hist->lastError();
        hist->cancelUpdate();
        return report(why, error);
    }
    return true;
}

bool HistoryMerge::MergeTempIntoHistory(StoreState &store, QString *error)
{
    if (!store.gDatabase || !store.gDatabase->isOpen())
        return report(QStringLiteral("no database is open"), error);
    if (!HistorySchema::OpenTable(store, QString::fromLatin1(HistorySchema::TEMP), error))
        return false;
    Recordset *temp = store.gTempRecordset.get();
    if (temp->absolutePosition() < 0)
        return true;

    Database *db = store.gDatabase.get();
    QString why;
    if (!HistorySchema::ensureIndexes(store, &why) || !db->beginTransaction(&why))
        return report(why, error);
    auto abandon = [&](const QString &message) {
        // Nothing of a failed merge stays: HISTORY is as before, TEMP still holds the rows.
        db->rollback();
        HistorySchema::OpenTable(store, QString::fromLatin1(HistorySchema::HISTORY));
        return report(message, error);
    };

    temp->moveFirst();
    if (!HistorySchema::OpenTable(store, QString::fromLatin1(HistorySchema::HISTORY), &why))
        return abandon(why);
    Recordset *hist = store.gHistoryRecordset.get();

    while (!temp->eof()) {
        if (hist->recordCount() > 0)
            hist->moveFirst();
        const QString criteria = matchCriteria(temp->field(QString::fromLatin1(HistorySchema::TableauAdresse)),
                                               temp->field(QString::fromLatin1(HistorySchema::ParameterNummer)),
                                               temp->field(QString::fromLatin1(HistorySchema::Start_Datum)));
        if (criteria.isEmpty())
            return abandon(QStringLiteral("a TEMP row has no panel address, parameter number or start time"));
        if (!hist->findFirst(criteria))
            return abandon(hist->lastError());
        if (!CopyTempRowToHistory(store, hist->noMatch(), &why))
            return abandon(why);
        const Key key = Key::of(*temp);
        bool done = false;
        for (;;) {
            temp->moveNext();
            if (temp->eof()) {
                done = true;
                break;
            }
            if (!(Key::of(*temp) == key))
                break;
            if (!hist->findNext(criteria))
                return abandon(hist->lastError());
            if (!CopyTempRowToHistory(store, hist->noMatch(), &why))
                return abandon(why);
        }
        if (done)
            break;
    }
    if (!db->commit(&why))
        return abandon(why);
    return true;
}

} // namespace qvr
