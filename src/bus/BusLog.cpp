#include "bus/BusLog.h"

#include <QDir>

namespace qvr {

QString BusLog::pathIn(const QString &folder)
{
    return QDir(folder).filePath(QLatin1String(kFileName));
}

bool BusLog::open(const QString &path, bool append)
{
    close();
    m_file.setFileName(path);
    return m_file.open(QIODevice::WriteOnly | (append ? QIODevice::Append : QIODevice::Truncate));
}

void BusLog::close()
{
    if (m_file.isOpen())
        m_file.close();
}

void BusLog::writeLine(const QString &text)
{
    if (!m_file.isOpen())
        return;
    QByteArray line = text.toLatin1();
    line += "\r\n";
    m_file.write(line);
    // Each line reaches the disk at once: the log is what is left to look at when a
    // read-out goes wrong.
    m_file.flush();
}

} // namespace qvr
