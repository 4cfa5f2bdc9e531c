#pragma once

#include "core/Asker.h"

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
    // The caption of boxes asked without a title (the program's title from the texts).
    void setDefaultTitle(const QString &title) { m_defaultTitle = title; }

    Answer message(const QString &text, const QString &title, Icon icon, Buttons buttons,
                   bool systemModal = false) override;
    QString openFileName(const QString &title, const QString &dir, const QString &filter) override;
    QString saveFileName(const QString &title, const QString &dir, const QString &filter,
                         const QString &suggestedName) override;

private:
    QWidget *parentWidget() const;
    QPointer<QWidget> m_parent;
    QString m_defaultTitle;
};

} // namespace qvr
