#pragma once

#include <QString>
#include <QtGlobal>

#include <array>
#include <vector>

namespace qvr {

// One row of a class RQ panel's alarm address table, as the "RQRAA" answer brings it:
// external address (3 characters), internal address (3), text kind (2; "99" = the row
// carries its own text) and the row's own text (20), all kept exactly as received.
using AlarmAddressRow = std::array<QString, 4>;

// Everything a read-out knows about the panel and its progress. The read-out engine owns
// one object; the decoders read and write the same object, so both sides keep one truth.
// Flags are plain bools here; where they reach the file they are written as 0/1.
struct ReadoutState
{
    // Frame of the read-out.
    quint8 gBusStage = 0; // 0 idle, 1 listening, 2 answered MAST?, 3 master, 4 handing back
    bool gReadoutActive = false;
    qint16 gDeviceAddress = 0;  // bus address of the panel being read, 1 to 99
    qint16 gMasterAddress = -1; // station that released the master role, -1 for none
    quint8 gEndReason = 0;      // 0 ok, 1 no history data, 2 record error, 3 silent, 4 unsuitable
    quint8 gTimeoutCount = 0;   // answer timeouts in a row
    quint8 gErrorCount = 0;     // rejected answers in a row

    // The panel and its history memory.
    QString gDeviceClass;     // "ZL", "PV", "RQ"; empty for an unsuitable panel
    QString gDeviceModel;     // model number text from the identification answer
    QString gTextLanguage;    // message text language code as the panel sent it ("01")
    qint16 gHistoryCount = 0; // entries the panel reports
    qint16 gHistoryIndex = 1; // entry being read, from 1
    qint16 gNaCount = 0;      // rows of the alarm address table (classes PV and RQ)
    std::vector<AlarmAddressRow> gAlarmAddressTable; // rows 0 .. gNaCount-1
    qint16 gTextNumber = 0;   // text number of the last programming record, 0 = none
    bool gReadAnalog = true;  // the panel supplies analogue records
    bool gAnalogProbe = true; // the next analogue answer is the probe

    // Outcome.
    bool gNewData = false;       // new history data may have reached the file
    bool gReadoutErrors = false; // an answer was rejected five times in a row

    // The standard texts database (file or the language's table) could not be opened
    // for at least one entry; those entries got empty text lines. The read-out reports
    // this once at its end (text 31090).
    bool standardTextsMissing = false;
};

} // namespace qvr
