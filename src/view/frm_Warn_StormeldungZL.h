#pragma once

#include "frm_Warn_StormeldungBase.h"

namespace qvr {

// The detail view of an event for panels of class "ZL" (and any class other than "PV"
// and "RQ"): relays 1 to 16, virtual device as EIB output 1 to 16, six display lines.
class frm_Warn_StormeldungZL : public frm_Warn_StormeldungBase
{
    Q_OBJECT

public:
    frm_Warn_StormeldungZL(StoreState &store, const ReadoutState &readout, const Texts &texts,
                           QWidget *parent = nullptr);
};

} // namespace qvr
