#include "frm_Warn_StormeldungPV.h"

namespace qvr {

namespace {
frm_Warn_StormeldungBase::Design pvDesign()
{
    return {
        "frm_Warn_StormeldungPV",
        13850,                 // "Adresse ext."
        13860,                 // "Adresse int."
        13750, true,           // "Meldung:"
        {13870, 13870, 13870}, true, // "Ausgang: A", "Ausgang: B", "Ausgang: C"
        13880,                 // "LED"
        13890,                 // "LED Nr."
        {13900, 13910},        // "Alarm bei 0V", "Alarm bei 24V"
        192,
        true,
        3,
    };
}
} // namespace

frm_Warn_StormeldungPV::frm_Warn_StormeldungPV(StoreState &store, const ReadoutState &readout,
                                               const Texts &texts, QWidget *parent)
    : frm_Warn_StormeldungBase(pvDesign(), store, readout, texts, parent)
{
}

} // namespace qvr
