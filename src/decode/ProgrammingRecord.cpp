#include "decode/ProgrammingRecord.h"

#include "decode/AnswerFields.h"
#include "decode/DecodeContext.h"
#include "decode/ReadoutState.h"
#include "decode/TempRowWriter.h"
#include "store/HistorySchema.h"
#include "store/Recordset.h"

#include <array>

namespace qvr {

namespace {

using S = HistorySchema;

// The fields that travel with an alarm address, in the order they are copied.
const char *const kProgrammingFields[] = {
    S::Kanal,
    S::GeraeteAdresse1,
    S::GeraeteAdresse2,
    S::Eingang,
    S::Betriebsart1,
    S::Betriebsart2,
    S::Summer,
    S::Relais_a,
    S::Relais_a_Betriebsart1,
    S::Relais_b,
    S::Relais_b_Betriebsart1,
    S::Relais_c,
    S::Relais_c_Betriebsart1,
    S::Meldeleuchte,
    S::Tastenfeld,
    S::Text,
    S::Messwert,
    S::Datum_Uhrzeit,
    S::Alarmadresse,
    S::Text1,
    S::Text2,
    S::Text3,
    S::Text4,
    S::Text5,
    S::Text6,
    S::EIBEingang,
    S::EIBAusgang,
    S::Summerwiederholung,
    S::AnalogWertMin,
    S::AnalogWertMax,
};

// Character positions of F1..F27 (index 1..27) in the two layouts. Five fields are one
// character wider for class PV, which moves every later field.
struct Span
{
    int from, to;
};
using Layout = std::array<Span, 28>;

constexpr Layout kLayoutZlRq = {{{0, 0},   {1, 3},   {5, 7},   {9, 9},   {11, 11}, {13, 13},
                                 {15, 17}, {19, 21}, {23, 24}, {26, 26}, {28, 28}, {30, 30},
                                 {32, 33}, {35, 35}, {37, 38}, {40, 40}, {42, 43}, {45, 45},
                                 {47, 49}, {51, 52}, {54, 54}, {56, 58}, {60, 62}, {64, 65},
                                 {67, 68}, {70, 70}, {72, 72}, {74, 74}}};
constexpr Layout kLayoutPv = {{{0, 0},   {1, 3},   {5, 7},   {9, 9},   {11, 11}, {13, 13},
                               {15, 17}, {19, 21}, {23, 25}, {27, 27}, {29, 29}, {31, 31},
                               {33, 35}, {37, 37}, {39, 41}, {43, 43}, {45, 47}, {49, 49},
                               {51, 53}, {55, 56}, {58, 58}, {60, 62}, {64, 66}, {68, 70},
                               {72, 73}, {75, 75}, {77, 77}, {79, 79}}};

// The class-specific bounds of the checks; everything else is common to ZL and PV.
struct ClassRules
{
    int deviceAddressMax;   // F6 for input kind 1
    int eibKindMax;         // F9 for input kinds 1 and 2
    int digitalChannelMax;  // F8 for input kind 3
    int relayMax;           // F12, F14, F16
    std::array<int, 3> f20; // allowed values of F20 (repeats fill the array)
};

constexpr ClassRules kRulesZl = {99, 0, 32, 16, {0, 5, 5}};
constexpr ClassRules kRulesPv = {150, 1, 192, 192, {0, 2, 5}};

bool in(int v, int lo, int hi)
{
    return v >= lo && v <= hi;
}

bool checkRecord(const std::array<int, 28> &F, const ClassRules &rules)
{
    const int kind = F[5];
    const bool f4is2 = F[4] == 2;
    const auto displayOk = [&] { return in(F[25], 0, 6) && in(F[26], 0, 6) && in(F[27], 0, 6); };
    bool ok = true;
    switch (kind) {
    case 1:
        ok = in(F[6], 1, rules.deviceAddressMax) && in(F[7], 0, 255) &&
             in(F[9], 0, rules.eibKindMax) && displayOk();
        break;
    case 2:
        ok = F[6] == 0 && in(F[7], 1, 255) && (f4is2 ? in(F[8], 0, 32) : F[8] == 0) &&
             in(F[9], 0, rules.eibKindMax) && displayOk();
        break;
    case 3:
        ok = F[6] == 0 && F[7] == 0 && in(F[8], 1, rules.digitalChannelMax) && in(F[9], 1, 4) &&
             F[25] == 0 && F[27] == 0 && F[26] <= 6 && (!f4is2 || F[26] >= 0);
        break;
    case 5:
        ok = F[6] == 0 && F[7] == 1 && in(F[8], 1, 16) && F[9] == 0 && displayOk();
        break;
    default:
        return true; // input kind 4 is taken as it comes
    }
    if (!ok)
        return false;
    const bool f20Ok = F[20] == rules.f20[0] || F[20] == rules.f20[1] || F[20] == rules.f20[2];
    return in(F[10], 0, 3) && in(F[11], 0, 2) && in(F[12], 0, rules.relayMax) &&
           in(F[14], 0, rules.relayMax) && in(F[16], 0, rules.relayMax) && in(F[13], 0, 2) &&
           in(F[15], 0, 2) && in(F[17], 0, 2) && in(F[18], 0, 15) && in(F[19], 0, 5) && f20Ok &&
           in(F[23], 0, 16);
}

} // namespace

bool ReuseProgrammingRecord(DecodeContext &ctx, const QString &rxParam, bool &reused)
{
    reused = false;
    const bool zl = ctx.readout.gDeviceClass == QLatin1String("ZL");
    AnswerFields f(rxParam);
    // A row describes the same thing only with the same data source, number, system number
    // and addresses: an alarm address and a device event may share a number. Class ZL
    // reports none of them but the number (its rows hold 0 there).
    const qint16 address = zl ? f.number(5, 7) : f.number(7, 10);
    const qint16 source = zl ? 0 : f.number(5, 5);
    const qint16 system = zl ? 0 : f.number(12, 13);
    const qint16 external = zl ? 0 : f.number(15, 17);
    const qint16 internal = zl ? 0 : f.number(19, 21);
    if (!f.allConverted())
        return true;
    Recordset *rs = TempRowWriter::temp(ctx);
    if (!rs)
        return false;
    const Recordset::Bookmark current = rs->bookmark();
    if (current == Recordset::NoBookmark)
        return true;
    const QString criteria =
        QStringLiteral(
            "ParameterNummer=%1 and Datenquelle=%2 and Systemnummer=%3 and AdresseExt=%4 "
            "and AdresseInt=%5")
            .arg(address)
            .arg(source)
            .arg(system)
            .arg(external)
            .arg(internal);
    if (!rs->findPrevious(criteria)) {
        if (!rs->noMatch()) {
            ctx.engineError = rs->lastError();
            return false;
        }
    }
    if (rs->noMatch()) {
        rs->setBookmark(current);
        return true;
    }
    TempRowWriter row;
    for (const char *field : kProgrammingFields)
        row.set(field, rs->field(QString::fromLatin1(field)));
    if (!rs->setBookmark(current)) {
        ctx.engineError = rs->lastError();
        return false;
    }
    if (!row.editCurrentRow(ctx))
        return false;
    reused = true;
    return true;
}

bool DecodeProgrammingRecord(DecodeContext &ctx, const QString &rxParam, bool &error)
{
    error = false;
    ReadoutState &r = ctx.readout;
    const QString &deviceClass = r.gDeviceClass;
    const bool pv = deviceClass == QLatin1String("PV");
    const Layout &layout = pv ? kLayoutPv : kLayoutZlRq;

    AnswerFields f(rxParam);
    std::array<int, 28> F{};
    for (int i = 1; i <= 27; ++i)
        F[i] = f.number(layout[i].from, layout[i].to);

    // The text number counts even when the rest of the record is refused.
    {
        AnswerFields textField(rxParam);
        const qint16 textNumber = textField.number(layout[2].from, layout[2].to);
        if (textField.allConverted())
            r.gTextNumber = textNumber;
    }
    if (!f.allConverted() || !in(F[5], 1, 5) || (F[4] != 2 && F[4] != 5)) {
        error = true;
        return true;
    }
    if (deviceClass == QLatin1String("ZL") && !checkRecord(F, kRulesZl)) {
        error = true;
        return true;
    }
    if (pv && !checkRecord(F, kRulesPv)) {
        error = true;
        return true;
    }

    const int kind = F[5];
    const int eingang = kind == 5 ? 3 : kind - 1;
    // The EIB fields and the buzzer repetition are 8-bit in the file: a record outside
    // that range (possible where the class checks nothing) is refused, not half stored.
    const bool eibFromChannel = kind == 5;
    const bool eibFromKind = eingang < 2;
    if ((eibFromChannel && !in(F[8], 0, 255)) || (eibFromKind && !in(F[9], 0, 255)) ||
        !in(F[23], 0, 255) || !in(F[24], 0, 255) || !TempRowWriter::hasCurrentRow(ctx)) {
        error = true;
        return true;
    }

    TempRowWriter row;
    if (kind == 3)
        row.set(S::Kanal, F[8] - 1);
    else if (kind == 5)
        row.set(S::EIBEingang, F[8]);
    else
        row.set(S::Kanal, F[8]);
    row.set(S::EIBAusgang, F[23]);
    row.set(S::GeraeteAdresse1, F[6]);
    row.set(S::GeraeteAdresse2, F[7]);
    row.set(S::Eingang, eingang);
    if (eibFromKind)
        row.set(S::EIBEingang, F[9]);
    // The two operating modes of the input, from the EIB input kind.
    switch (F[9]) {
    case 0:
    case 1:
        row.set(S::Betriebsart1, 0);
        row.set(S::Betriebsart2, 0);
        break;
    case 2:
        row.set(S::Betriebsart1, 1);
        row.set(S::Betriebsart2, 0);
        break;
    case 3:
        row.set(S::Betriebsart1, 0);
        row.set(S::Betriebsart2, 1);
        break;
    case 4:
        row.set(S::Betriebsart1, 1);
        row.set(S::Betriebsart2, 1);
        break;
    default:
        break; // other values leave the modes as they are
    }
    row.set(S::Summer, F[11] == 0 ? 2 : F[11] - 1);
    row.set(S::Summerwiederholung, F[24]);
    const auto relay = [&](const char *field, const char *mode, int relayNo, int relayMode) {
        row.set(field, relayNo);
        row.set(mode, relayNo == 0 ? relayMode : relayMode - 1);
    };
    relay(S::Relais_a, S::Relais_a_Betriebsart1, F[12], F[13]);
    relay(S::Relais_b, S::Relais_b_Betriebsart1, F[14], F[15]);
    relay(S::Relais_c, S::Relais_c_Betriebsart1, F[16], F[17]);
    row.set(S::Meldeleuchte, F[10] == 3 ? 1 : F[10]);
    row.set(S::Tastenfeld, F[18] * 5 + F[19]);
    row.set(S::Text, r.gTextNumber > 0 ? 1 : 0);
    row.set(S::Messwert, F[25]);
    row.set(S::Datum_Uhrzeit, F[26]);
    row.set(S::Alarmadresse, F[27]);
    if (r.gTextNumber < 1) {
        for (const char *field : {S::Text1, S::Text2, S::Text3, S::Text4, S::Text5, S::Text6})
            row.set(field, QStringLiteral(""));
    }
    return row.editCurrentRow(ctx);
}

} // namespace qvr
