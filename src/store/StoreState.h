#pragma once

#include "store/Database.h"
#include "store/Recordset.h"
#include "store/Workspace.h"

#include <memory>

namespace qvr {

// The handles the history store owns: the workspace, the open database (always the
// working copy of the user's file) and the two standard record sets over HISTORY and TEMP.
// Created by the application (or a test) and handed to whoever needs them.
class StoreState
{
public:
    StoreState() = default;
    StoreState(const StoreState &) = delete;
    StoreState &operator=(const StoreState &) = delete;
    ~StoreState() { closeDatabase(); }

    Workspace gWorkspace;
    std::unique_ptr<Database> gDatabase;
    std::unique_ptr<Recordset> gHistoryRecordset;
    std::unique_ptr<Recordset> gTempRecordset;

    // Drops both record sets and closes the database (before the file is copied or deleted).
    void closeDatabase()
    {
        gHistoryRecordset.reset();
        gTempRecordset.reset();
        if (gDatabase)
            gDatabase->close();
        gDatabase.reset();
    }
};

} // namespace qvr
