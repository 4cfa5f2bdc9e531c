#pragma once

#include <QString>
#include <QtGlobal>

namespace qvr {

// The fields of one HISTORY row that the grid shows, read once when the grid is filled.
// Cell texts are made from it on demand, so a 100,000-event file costs a few dozen bytes
// per event rather than 18 strings.
struct GridRecord
{
    // Date-time fields are OLE dates (days since 30 December 1899).
    double startDatum = 0;
    double startDatumSort = 0;
    double quittiertDatum = 0;
    double quittiertDatumSort = 0;
    double stopDatum = 0;
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
    enum NullFlag : quint16 {
        NullTableauAdresse = 0x01,
        NullStart = 0x02,
        NullStartSort = 0x04,
        NullQuittiert = 0x08,
        NullQuittiertSort = 0x10,
        NullStop = 0x20,
        NullStopSort = 0x40,
        NullGeraetetyp = 0x80,
    };
    quint16 nulls = 0;

    QString text1;
    QString text2;
    QString text3;
    QString analogWertMin;
    QString analogWertMax;
    QString geraetetyp;
};

} // namespace qvr
