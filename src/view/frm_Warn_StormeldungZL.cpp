#include "frm_Warn_StormeldungZL.h"

namespace qvr {

namespace {
frm_Warn_StormeldungBase::Design zlDesign()
{
    return {
        "frm_Warn_StormeldungZL",
        13230,                 // "Geräteadresse" over both address lists
        0,                     // no separate internal address caption
        13260, false,          // "Ausgang:"
        {13280, 13300, 13320}, false, // "Relais Nr."
        13340,                 // "Sammel-Meldeleuchte"
        13350,                 // "Meldeleuchte im Tastenfeld"
        {13520, 13530},        // "Arbeitsstrom", "Ruhestrom"
        16,
        false,
        6,
    };
}
} // namespace

frm_Warn_StormeldungZL::frm_Warn_StormeldungZL(StoreState &store, const ReadoutState &readout,
                                               const Texts &texts, QWidget *parent)
    : frm_Warn_StormeldungBase(zlDesign(), store, readout, texts, parent)
{
}

} // namespace qvr
