#pragma once

#include <QDateTime>
#include <QString>
#include <QtGlobal>

namespace qvr {

// The fields of one HISTORY row that the grid shows, read when its rows are drawn, printed
// or exported; cell texts are made from it on demand.
struct GridRecord
{
    // The HISTORY fields a record is made of (GridRecordReader::fieldNames() in this order).
    enum Field {
        FTableauAdresse,
        FStartDatum,
        FStartSort,
        FQuittiertJN,
        FQuittiertDatum,
        FQuittiertSort,
        FStopJN,
        FStopDatum,
        FStopSort,
        FMeldeleuchte,
        FTestJN,
        FGeraeteAdresse1,
        FGeraeteAdresse2,
        FKanal,
        FEingang,
        FEibEingang,
        FText1,
        FText2,
        FText3,
        FAnalogWertMin,
        FAnalogWertMax,
        FGeraetetyp,
        FieldCount
    };

    // The date-time fields as the store reads them; the _Sort fields are the same moments
    // as OLE day counts.
    QDateTime startDatum;
    QDateTime quittiertDatum;
    QDateTime stopDatum;
    double startDatumSort = 0;
    double quittiertDatumSort = 0;
    double stopDatumSort = 0;

    qint32 tableauAdresse = 0;
    qint16 quittiertJN = 0;
    qint16 stopJN = 0;
    qint16 meldeleuchte = 0;
    qint16 testJN = 0;
    qint16 geraeteAdresse1 = 0;
    qint16 geraeteAdresse2 = 0;
    qint16 kanal = 0;
    qint16 eingang = 0;
    qint16 eibEingang = 0;

    // Which of the shown values had no value in the file (an upgraded old file may
    // hold nulls); such cells stay empty instead of showing a made-up 0.
    // (A date without value is an invalid QDateTime.)
    enum NullFlag : quint8 {
        NullTableauAdresse = 0x01,
        NullStartSort = 0x02,
        NullQuittiertSort = 0x04,
        NullStopSort = 0x08,
        NullGeraetetyp = 0x10,
    };
    quint8 nulls = 0;

    QString text1;
    QString text2;
    QString text3;
    QString analogWertMin;
    QString analogWertMax;
    QString geraetetyp;
};

} // namespace qvr
