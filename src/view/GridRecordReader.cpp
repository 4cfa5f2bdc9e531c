#include "GridRecordReader.h"

#include "store/HistorySchema.h"

namespace qvr {

namespace {

qint16 small(const QVariant &v)
{
    return static_cast<qint16>(v.toInt());
}

} // namespace

const QStringList &GridRecordReader::fieldNames()
{
    using H = HistorySchema;
    static const QStringList names = [] {
        QStringList n;
        for (const char *f : {H::TableauAdresse,  H::Start_Datum,     H::Start_Datum_Sort,
                              H::Quittiert_JN,    H::Quittiert_Datum, H::Quittiert_Datum_Sort,
                              H::Stop_JN,         H::Stop_Datum,      H::Stop_Datum_Sort,
                              H::Meldeleuchte,    H::Test_JN,         H::GeraeteAdresse1,
                              H::GeraeteAdresse2, H::Kanal,           H::Eingang,
                              H::EIBEingang,      H::Text1,           H::Text2,
                              H::Text3,           H::AnalogWertMin,   H::AnalogWertMax,
                              H::geraetetyp})
            n << QString::fromLatin1(f);
        return n;
    }();
    return names;
}

void GridRecordReader::setField(GridRecord &r, GridRecord::Field field, const QVariant &v)
{
    auto markNull = [&](quint8 flag) {
        if (v.isNull())
            r.nulls |= flag;
        else
            r.nulls &= quint8(~flag);
    };
    switch (field) {
    case GridRecord::FTableauAdresse:
        markNull(GridRecord::NullTableauAdresse);
        r.tableauAdresse = v.toInt();
        break;
    case GridRecord::FStartDatum:
        r.startDatum = v.toDateTime();
        break;
    case GridRecord::FQuittiertDatum:
        r.quittiertDatum = v.toDateTime();
        break;
    case GridRecord::FStopDatum:
        r.stopDatum = v.toDateTime();
        break;
    case GridRecord::FStartSort:
        markNull(GridRecord::NullStartSort);
        r.startDatumSort = v.toDouble();
        break;
    case GridRecord::FQuittiertSort:
        markNull(GridRecord::NullQuittiertSort);
        r.quittiertDatumSort = v.toDouble();
        break;
    case GridRecord::FStopSort:
        markNull(GridRecord::NullStopSort);
        r.stopDatumSort = v.toDouble();
        break;
    case GridRecord::FQuittiertJN:
        r.quittiertJN = small(v);
        break;
    case GridRecord::FStopJN:
        r.stopJN = small(v);
        break;
    case GridRecord::FMeldeleuchte:
        r.meldeleuchte = small(v);
        break;
    case GridRecord::FTestJN:
        r.testJN = small(v);
        break;
    case GridRecord::FGeraeteAdresse1:
        r.geraeteAdresse1 = small(v);
        break;
    case GridRecord::FGeraeteAdresse2:
        r.geraeteAdresse2 = small(v);
        break;
    case GridRecord::FKanal:
        r.kanal = small(v);
        break;
    case GridRecord::FEingang:
        r.eingang = small(v);
        break;
    case GridRecord::FEibEingang:
        r.eibEingang = small(v);
        break;
    case GridRecord::FText1:
        r.text1 = v.toString();
        break;
    case GridRecord::FText2:
        r.text2 = v.toString();
        break;
    case GridRecord::FText3:
        r.text3 = v.toString();
        break;
    case GridRecord::FAnalogWertMin:
        r.analogWertMin = v.toString();
        break;
    case GridRecord::FAnalogWertMax:
        r.analogWertMax = v.toString();
        break;
    case GridRecord::FGeraetetyp:
        markNull(GridRecord::NullGeraetetyp);
        r.geraetetyp = v.toString();
        break;
    case GridRecord::FieldCount:
        break;
    }
}

GridRecord GridRecordReader::fromValues(const QVariant *values)
{
    GridRecord r;
    for (int f = 0; f < GridRecord::FieldCount; ++f)
        setField(r, GridRecord::Field(f), values[f]);
    return r;
}

} // namespace qvr
