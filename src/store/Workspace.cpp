#include "store/Workspace.h"

namespace qvr {

std::unique_ptr<Database> Workspace::CreateDatabase(const QString &path, const QString &descriptor,
                                                    QString *error)
{
    m_open = true;
    return Database::create(path, descriptor, error);
}

std::unique_ptr<Database> Workspace::OpenDatabase(const QString &path, const QString &connect,
                                                  Database::Access access, QString *error)
{
    m_open = true;
    return Database::open(path, connect, access, error);
}

} // namespace qvr
