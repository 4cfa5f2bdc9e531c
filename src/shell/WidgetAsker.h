#pragma once

#include "core/Asker.h"
#include "core/TextTable.h"

#include <QPointer>
#include <QWidget>

namespace qvr {

// The window program's answers to modal questions: message boxes and file dialogs over
// the given parent window (or the active window when it has none).
class WidgetAsker : public Asker
{
public:
    explicit WidgetAsker(QWidget *parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget *parent) { m_parent = parent; }
    // The program's texts: the caption of boxes asked without a title and the button
    // captions follow the current language (Qt's own button texts would stay English).
    void setTexts(const Texts *texts) { m_texts = texts; }

    Answer message(const QString &text, const QString &title, Icon icon, Buttons buttons,
                   bool systemModal = false) override;
    QString openFileName(const QString &title, const QString &dir, const QString &filter) override;
    QString saveFileName(const QString &title, const QString &dir, const QString &filter,
                         const QString &suggestedName) override;

private:
    QWidget *parentWidget() const;
    QPointer<QWidget> m_parent;
    const Texts *m_texts = nullptr;
};

} // namespace qvr
