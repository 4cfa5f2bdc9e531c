#pragma once

#include <QWidget>

namespace qvr {

class PrintDocument;

// Shows one page of a PrintDocument as a sheet of paper at a zoom percentage (100 % is the
// paper's real size on the screen). Painting only reads the document, so it is safe to
// repaint at any time.
class PrintPreview : public QWidget
{
    Q_OBJECT

public:
    explicit PrintPreview(QWidget *parent = nullptr);

    void setDocument(const PrintDocument *document);
    // Clamped to the document's pages.
    void setPage(int page);
    int page() const { return m_page; }
    void setZoom(int percent);
    int zoom() const { return m_zoom; }
    // The largest zoom at which the whole width of the page fits into `width` pixels.
    int zoomToFitWidth(int width) const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    double scale() const;
    QSize paperPixels() const;

    static constexpr int kBorder = 12;
    const PrintDocument *m_document = nullptr;
    int m_page = 1;
    int m_zoom = 100;
};

} // namespace qvr
