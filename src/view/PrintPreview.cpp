#include "PrintPreview.h"

#include "view/PrintDocument.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace qvr {

PrintPreview::PrintPreview(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PrintPreview::setDocument(const PrintDocument *document)
{
    m_document = document;
    setPage(m_page);
    updateGeometry();
    resize(sizeHint());
    update();
}

void PrintPreview::setPage(int page)
{
    const int last = m_document ? std::max(1, m_document->pageCount()) : 1;
    m_page = std::clamp(page, 1, last);
    update();
}

void PrintPreview::setZoom(int percent)
{
    m_zoom = std::max(1, percent);
    updateGeometry();
    resize(sizeHint());
    update();
}

double PrintPreview::scale() const
{
    return logicalDpiX() / 1440.0 * m_zoom / 100.0;
}

int PrintPreview::zoomToFitWidth(int width) const
{
    const double twips = m_document ? m_document->pageSize().width() : 16838;
    const double pixelsAt100 = twips * logicalDpiX() / 1440.0;
    // The shadow beside the paper is 3 pixels wide.
    return int(std::floor((width - 2 * kBorder - 3) * 100.0 / pixelsAt100));
}

QSize PrintPreview::paperPixels() const
{
    const QSizeF twips = m_document ? m_document->pageSize() : QSizeF(16838, 11906);
    return QSize(int(std::ceil(twips.width() * scale())), int(std::ceil(twips.height() * scale())));
}

QSize PrintPreview::sizeHint() const
{
    return paperPixels() + QSize(2 * kBorder, 2 * kBorder);
}

void PrintPreview::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Dark));
    const QSize paper = paperPixels();
    const QPoint origin(std::max(kBorder, (width() - paper.width()) / 2),
                        std::max(kBorder, (height() - paper.height()) / 2));
    painter.fillRect(QRect(origin + QPoint(3, 3), paper), QColor(60, 60, 60));
    painter.fillRect(QRect(origin, paper), Qt::white);
    if (!m_document)
        return;
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setClipRect(QRect(origin, paper));
    painter.translate(origin);
    painter.scale(scale(), scale());
    m_document->renderPage(&painter, m_page);
}

} // namespace qvr
