#include "ViewPointer.h"

#include <QApplication>
#include <QCursor>

namespace qvr {

void ViewPointer::showHourglass()
{
    const QCursor *c = QApplication::overrideCursor();
    if (!c || c->shape() != Qt::WaitCursor)
        QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

void ViewPointer::restoreDefault()
{
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
}

} // namespace qvr
