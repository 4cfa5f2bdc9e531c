#include "MousePointer.h"

#include <QApplication>
#include <QCursor>

namespace qvr {

void MousePointer::showHourglass()
{
    if (!isHourglass())
        QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

void MousePointer::restoreDefault()
{
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
}

bool MousePointer::isHourglass()
{
    const QCursor *c = QApplication::overrideCursor();
    return c && c->shape() == Qt::WaitCursor;
}

} // namespace qvr
