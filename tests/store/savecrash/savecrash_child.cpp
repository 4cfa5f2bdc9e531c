// Saves a history file and nothing else, so a test can kill it at any moment of the save.
// Arguments: the user's file and its working copy (a history database).

#include "store_helper.h"

#include <QFileInfo>

#include <cstdio>

using namespace qvr;
using namespace qvr::storetest;

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s USER_FILE WORKING_COPY\n", argv[0]);
        return 2;
    }
    const QString userFile = QString::fromLocal8Bit(argv[1]);
    const QString workFile = QString::fromLocal8Bit(argv[2]);
    FileFixture f(QFileInfo(userFile).absolutePath());
    f.file.gFileName = userFile;
    f.file.gWorkFile = workFile;
    f.file.gNewData = true;
    QString error;
    f.store.gDatabase = f.store.gWorkspace.OpenDatabase(workFile, QString(), Database::Access::ReadWrite, &error);
    if (!f.store.gDatabase) {
        std::fprintf(stderr, "cannot open %s: %s\n", argv[2], qPrintable(error));
        return 1;
    }
    if (!f.ops.SaveHistoryFile(&error)) {
        std::fprintf(stderr, "save failed: %s\n", qPrintable(error));
        return 1;
    }
    f.store.closeDatabase();
    return 0;
}
