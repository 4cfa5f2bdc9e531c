#pragma once

#include "store/Database.h"

namespace qvr {

// The database engine's default workspace: the context in which the program creates and
// opens its databases. Obtained at start-up and closed at shut-down.
class Workspace
{
public:
    std::unique_ptr<Database> CreateDatabase(const QString &path, const QString &descriptor,
                                             QString *error = nullptr);
    std::unique_ptr<Database> OpenDatabase(const QString &path, const QString &connect = QString(),
                                           Database::Access access = Database::Access::ReadWrite,
                                           QString *error = nullptr);
    // Closing does not close databases handed out; their owners close them. A closed
    // workspace opens again on the next use.
    void Close() { m_open = false; }
    bool isOpen() const { return m_open; }

private:
    bool m_open = true;
};

} // namespace qvr
