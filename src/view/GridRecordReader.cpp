#include "GridRecordReader.h"

#include "store/HistorySchema.h"
#include "store/Recordset.h"

#include <array>

namespace qvr {

namespace {

enum Field {
    FTableauAdresse, FStartDatum, FStartSort, FQuittiertJN, FQuittiertDatum, FQuittiertSort,
    FStopJN, FStopDatum, FStopSort, FMeldeleuchte, FTestJN, FGeraeteAdresse1,
    FGeraeteAdresse2, FKanal, FEingang, FEibEingang, FText1, FText2, FText3,
    FAnalogWertMin, FAnalogWertMax, FGeraetetyp, FieldCount
};

using H = HistorySchema;
constexpr std::array<const char *, FieldCount> kNames = {
    H::TableauAdresse, H::Start_Datum, H::Start_Datum_Sort, H::Quittiert_JN,
    H::Quittiert_Datum, H::Quittiert_Datum_Sort, H::Stop_JN, H::Stop_Datum,
    H::Stop_Datum_Sort, H::Meldeleuchte, H::Test_JN, H::GeraeteAdresse1, H::GeraeteAdresse2,
    H::Kanal, H::Eingang, H::EIBEingang, H::Text1, H::Text2, H::Text3, H::AnalogWertMin,
    H::AnalogWertMax, H::geraetetyp};

qint16 small(const QVariant &v)
{
    return static_cast<qint16>(v.toInt());
}

} // namespace

bool GridRecordReader::readAll(const Recordset &records, std::vector<GridRecord> *out,
                               QString *error)
{
    out->clear();
    std::array<int, FieldCount> index{};
    for (int f = 0; f < FieldCount; ++f) {
        index[std::size_t(f)] = records.fieldIndex(QString::fromLatin1(kNames[std::size_t(f)]));
        if (index[std::size_t(f)] < 0) {
            if (error)
                *error = QStringLiteral("Field %1 is missing.").arg(QLatin1String(kNames[std::size_t(f)]));
            return false;
        }
    }

    QList<int> fields;
    for (int i : index)
        fields.append(i);
    // Records that can no longer be read keep the defaults of an empty event.
    out->assign(std::size_t(records.recordCount()), GridRecord());
    const bool ok = records.readFields(fields, [out](int position, const QVariant *v) {
        GridRecord &r = (*out)[std::size_t(position)];
        if (v[FTableauAdresse].isNull())
            r.nulls |= GridRecord::NullTableauAdresse;
        r.tableauAdresse = v[FTableauAdresse].toInt();
        r.startDatum = v[FStartDatum].toDateTime();
        r.quittiertDatum = v[FQuittiertDatum].toDateTime();
        r.stopDatum = v[FStopDatum].toDateTime();
        if (v[FStartSort].isNull())
            r.nulls |= GridRecord::NullStartSort;
        if (v[FQuittiertSort].isNull())
            r.nulls |= GridRecord::NullQuittiertSort;
        if (v[FStopSort].isNull())
            r.nulls |= GridRecord::NullStopSort;
        r.startDatumSort = v[FStartSort].toDouble();
        r.quittiertDatumSort = v[FQuittiertSort].toDouble();
        r.stopDatumSort = v[FStopSort].toDouble();
        r.quittiertJN = small(v[FQuittiertJN]);
        r.stopJN = small(v[FStopJN]);
        r.meldeleuchte = small(v[FMeldeleuchte]);
        r.testJN = small(v[FTestJN]);
        r.geraeteAdresse1 = small(v[FGeraeteAdresse1]);
        r.geraeteAdresse2 = small(v[FGeraeteAdresse2]);
        r.kanal = small(v[FKanal]);
        r.eingang = small(v[FEingang]);
        r.eibEingang = small(v[FEibEingang]);
        r.text1 = v[FText1].toString();
        r.text2 = v[FText2].toString();
        r.text3 = v[FText3].toString();
        r.analogWertMin = v[FAnalogWertMin].toString();
        r.analogWertMax = v[FAnalogWertMax].toString();
        if (v[FGeraetetyp].isNull())
            r.nulls |= GridRecord::NullGeraetetyp;
        r.geraetetyp = v[FGeraetetyp].toString();
    });
    if (!ok) {
        out->clear();
        if (error)
            *error = records.lastError();
        return false;
    }
    return true;
}

} // namespace qvr
