#pragma once

#include <QFile>
#include <QString>

namespace qvr {

// The bus log "logdata.txt": every line written as the text followed by CR LF, so a
// frame that ends in CR LF itself is followed by an empty line. Texts are written one
// byte per character. Failures (no such folder, disk full) are silent: the log never
// stops a read-out.
class BusLog
{
public:
    static constexpr const char *kFileName = "logdata.txt";
    static constexpr const char *kSentPrefix = "-----> ";
    static constexpr const char *kReceivedPrefix = "<- ";

    // The log's path in an installation folder.
    static QString pathIn(const QString &folder);

    // Creates the file anew (truncated), or with `append` continues it; false when it
    // cannot be created.
    bool open(const QString &path, bool append = false);
    void close();
    bool isOpen() const { return m_file.isOpen(); }

    void writeLine(const QString &text);

private:
    QFile m_file;
};

} // namespace qvr
