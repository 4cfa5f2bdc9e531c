#include "HelpViewer.h"

#include <QFileInfo>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace qvr {

HelpViewer::HelpViewer(QWidget *owner)
    : QWidget(owner, Qt::Window), m_browser(new QTextBrowser(this))
{
    setObjectName(QStringLiteral("HelpViewer"));
    m_browser->setObjectName(QStringLiteral("HelpText"));
    m_browser->setOpenExternalLinks(true);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_browser);
    resize(720, 600);
}

void HelpViewer::showContents(const QString &file, const QString &caption)
{
    m_file = file;
    setWindowTitle(caption);
    const QUrl url = file.startsWith(QLatin1Char(':'))
                         ? QUrl(QStringLiteral("qrc") + file)
                         : QUrl::fromLocalFile(QFileInfo(file).absoluteFilePath());
    m_browser->setSource(url);
    m_browser->scrollToAnchor(QString());
    show();
    raise();
    activateWindow();
}

} // namespace qvr
