#pragma once

#include <QString>
#include <QWidget>

class QTextBrowser;

namespace qvr {

// The program's help window: shows an HTML help page with its links, not modal, owned by
// the main window. Shut-down closes it.
class HelpViewer : public QWidget
{
    Q_OBJECT

public:
    explicit HelpViewer(QWidget *owner);

    // Shows the contents of the help file (its first page); `caption` is the window title.
    void showContents(const QString &file, const QString &caption);
    QString currentFile() const { return m_file; }
    QTextBrowser *browser() const { return m_browser; }

private:
    QTextBrowser *m_browser;
    QString m_file;
};

} // namespace qvr
