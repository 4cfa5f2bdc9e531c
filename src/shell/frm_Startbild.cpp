#include "frm_Startbild.h"

#include <QDir>
#include <QImageReader>
#include <QLabel>
#include <QResizeEvent>

namespace qvr {

namespace {
QPixmap loadPicture(const QString &programDir)
{
    QImageReader own(QDir(programDir).filePath(QStringLiteral("Harlin.wmf")));
    const QImage image = own.read();
    if (!image.isNull())
        return QPixmap::fromImage(image);
    return QPixmap(QStringLiteral(":/qvr/shell/Startbild.png"));
}
} // namespace

frm_Startbild::frm_Startbild(const QString &programDir, QWidget *parent)
    : QWidget(parent), m_picture(new QLabel(this)), m_pixmap(loadPicture(programDir))
{
    setObjectName(QStringLiteral("frm_Startbild"));
    m_picture->setObjectName(QStringLiteral("Picture1"));
    m_picture->setAlignment(Qt::AlignCenter);
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, QColor(10, 22, 44));
    setPalette(p);
    fitPicture();
}

void frm_Startbild::resizeEvent(QResizeEvent *e)
{
    QWidget::resizeEvent(e);
    m_picture->setGeometry(0, 0, width(), height());
    fitPicture();
}

void frm_Startbild::fitPicture()
{
    if (m_pixmap.isNull() || width() <= 0 || height() <= 0) {
        m_picture->clear();
        return;
    }
    m_picture->setPixmap(m_pixmap.scaled(size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

} // namespace qvr
