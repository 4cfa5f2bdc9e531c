#pragma once

#include "frm_Warn_StormeldungBase.h"

namespace qvr {

// The detail view of an event for panels of classes "PV" and "RQ": separate captions for
// the external and internal address, outputs A to C with relays 1 to 192, the virtual
// devices 146/01 to 149/12, and only the three lines of the message text filled.
class frm_Warn_StormeldungPV : public frm_Warn_StormeldungBase
{
    Q_OBJECT

public:
    frm_Warn_StormeldungPV(StoreState &store, const ReadoutState &readout, const Texts &texts,
                           QWidget *parent = nullptr);
};

} // namespace qvr
