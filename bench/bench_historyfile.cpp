// Opening and saving a history file of about 50 MB through the working copy, against a
// plain file copy flushed to disk (what replacing the file by copying would cost), measured
// in the same run on the same file. Prints the best of three runs and the ratios.

#include "core/Asker.h"
#include "core/SettingsStore.h"
#include "core/TextTable.h"
#include "store/HistoryFile.h"
#include "store/HistorySchema.h"
#include "store/StoreState.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

using namespace qvr;

namespace {

class SilentAsker : public Asker
{
public:
    Answer message(const QString &text, const QString &, Icon, Buttons, bool) override
    {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
        return Answer::No;
    }
    QString openFileName(const QString &, const QString &, const QString &) override { return {}; }
    QString saveFileName(const QString &, const QString &, const QString &, const QString &) override { return {}; }
};

class NoSettings : public SettingsBackend
{
public:
    bool read(const QString &, const QString &, QString *) const override { return false; }
    void write(const QString &, const QString &, const QString &) override {}
};

bool copyAndFlush(const QString &from, const QString &to)
{
    QFile::remove(to);
    if (!QFile::copy(from, to))
        return false;
    const int fd = ::open(QFile::encodeName(to).constData(), O_RDWR);
    const bool ok = fd >= 0 && ::fsync(fd) == 0;
    if (fd >= 0)
        ::close(fd);
    return ok;
}

template <typename F>
double bestOfThree(F &&run)
{
    double best = 1e300;
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer t;
        t.start();
        if (!run())
            return -1;
        best = std::min(best, t.nsecsElapsed() / 1e6);
    }
    return best;
}

} // namespace

int main()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("site.his"));
    {
        StoreState s;
        if (!HistorySchema::CreateHistoryDatabase(s, file)
            || !s.gDatabase->execute(QStringLiteral(
                "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 230000) "
                "INSERT INTO HISTORY (TableauAdresse, ParameterNummer, Text1, Text2, Text3, Text4, Text5, Text6) "
                "SELECT i % 99 + 1, i % 500, printf('Meldung %012d', i), printf('Zeile zwei %09d', i), "
                "printf('Zeile drei %09d', i), printf('Zusatz eins %08d', i), printf('Zusatz zwei %08d', i), "
                "printf('Zusatz drei %08d', i) FROM n"))) {
            std::fprintf(stderr, "cannot build the test file\n");
            return 1;
        }
        s.closeDatabase();
    }

    FileState state;
    StoreState store;
    SettingsStore settings(std::make_unique<NoSettings>());
    Texts texts;
    SilentAsker asker;
    HistoryFile ops(state, store, settings, texts, asker);

    const double copy = bestOfThree([&] { return copyAndFlush(file, dir.filePath(QStringLiteral("copy.his"))); });
    const double open = bestOfThree([&] {
        QString path = file;
        return ops.OpenHistoryFile(path);
    });
    const double save = bestOfThree([&] { return ops.SaveHistoryFile(); });
    if (copy <= 0 || open <= 0 || save <= 0) {
        std::fprintf(stderr, "a run failed\n");
        return 1;
    }
    std::printf("history file of %.1f MB\n", QFile(file).size() / 1048576.0);
    std::printf("plain copy, flushed  %8.1f ms   (reference)\n", copy);
    std::printf("open (check + copy)  %8.1f ms   ratio %.2f\n", open, open / copy);
    std::printf("save (copy + rename) %8.1f ms   ratio %.2f\n", save, save / copy);
    ops.CloseHistoryFile();
    return 0;
}
