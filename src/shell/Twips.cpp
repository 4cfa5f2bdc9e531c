#include "Twips.h"

#include <QWidget>

namespace qvr {

namespace {
int dpi(const QWidget &w)
{
    const int d = w.logicalDpiY();
    return d > 0 ? d : 96;
}
} // namespace

int Twips::fromPixels(const QWidget &w, int pixels)
{
    return int((qint64(pixels) * 1440) / dpi(w));
}

int Twips::toPixels(const QWidget &w, int twips)
{
    return int((qint64(twips) * dpi(w)) / 1440);
}

} // namespace qvr
