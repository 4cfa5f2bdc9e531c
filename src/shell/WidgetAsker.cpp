#include "WidgetAsker.h"

#include "MousePointer.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QAbstractButton>
#include <QMessageBox>

namespace qvr {

namespace {
QMessageBox::Icon boxIcon(Asker::Icon icon)
{
    switch (icon) {
    case Asker::Icon::Information:
        return QMessageBox::Information;
    case Asker::Icon::Question:
        return QMessageBox::Question;
    case Asker::Icon::Exclamation:
        return QMessageBox::Warning;
    case Asker::Icon::Critical:
        return QMessageBox::Critical;
    case Asker::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons boxButtons(Asker::Buttons buttons)
{
    switch (buttons) {
    case Asker::Buttons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case Asker::Buttons::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case Asker::Buttons::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case Asker::Buttons::Ok:
        break;
    }
    return QMessageBox::Ok;
}
} // namespace

QWidget *WidgetAsker::parentWidget() const
{
    if (m_parent)
        return m_parent;
    return QApplication::activeWindow();
}

Asker::Answer WidgetAsker::message(const QString &text, const QString &title, Icon icon,
                                   Buttons buttons, bool systemModal)
{
    // A question must be answerable: never leave the hourglass over a box.
    const bool hourglass = MousePointer::isHourglass();
    MousePointer::restoreDefault();

    const QString caption = title.isEmpty() && m_texts ? m_texts->ResText(1000) : title;
    QMessageBox box(boxIcon(icon), caption, text, boxButtons(buttons), parentWidget());
    box.setObjectName(QStringLiteral("MsgBox"));
    if (m_texts) {
        const std::pair<QMessageBox::StandardButton, int> captions[] = {
            {QMessageBox::Yes, 1540}, {QMessageBox::No, 1550},
            {QMessageBox::Cancel, 1560}, {QMessageBox::Ok, 1520}};
        for (const auto &[which, id] : captions)
            if (QAbstractButton *b = box.button(which))
                b->setText(m_texts->ResText(id));
    }
    if (systemModal) {
        // Above every window of the desktop, not only above this program's windows.
        box.setWindowModality(Qt::ApplicationModal);
        box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    }
    const int r = box.exec();
    if (hourglass)
        MousePointer::showHourglass();
    switch (r) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    case QMessageBox::Ok:
        return Answer::Ok;
    default:
        break;
    }
    // Closing the box by its frame counts as the cancelling answer of its buttons.
    if (buttons == Buttons::YesNo)
        return Answer::No;
    return buttons == Buttons::Ok ? Answer::Ok : Answer::Cancel;
}

QString WidgetAsker::openFileName(const QString &title, const QString &dir, const QString &filter)
{
    return QFileDialog::getOpenFileName(parentWidget(), title, dir, filter);
}

QString WidgetAsker::saveFileName(const QString &title, const QString &dir, const QString &filter,
                                  const QString &suggestedName)
{
    QString start = dir;
    if (!suggestedName.isEmpty())
        start = dir.isEmpty() ? suggestedName : QDir(dir).filePath(suggestedName);
    // QFileDialog asks before an existing file is overwritten.
    return QFileDialog::getSaveFileName(parentWidget(), title, start, filter);
}

} // namespace qvr
