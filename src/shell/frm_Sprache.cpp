#include "frm_Sprache.h"

#include "MousePointer.h"
#include "core/SettingsStore.h"
#include "core/TextTable.h"

#include <QEvent>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QRadioButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include <algorithm>

namespace qvr {

frm_Sprache::frm_Sprache(Texts &texts, SettingsStore &settings, std::function<void()> onClosed,
                         QWidget *mainWindow)
    : QDialog(mainWindow), m_texts(texts), m_settings(settings), m_onClosed(std::move(onClosed)),
      m_sprache0(new QRadioButton(this)), m_sprache1(new QRadioButton(this))
{
    setObjectName(QStringLiteral("frm_Sprache"));
    setModal(true);
    m_sprache0->setObjectName(QStringLiteral("Sprache0"));
    m_sprache1->setObjectName(QStringLiteral("Sprache1"));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 18, 24, 18);
    layout->setSpacing(10);
    layout->addWidget(m_sprache0);
    layout->addWidget(m_sprache1);

    // The stored choice is shown; its own default is English. Any other value shows none.
    const long long stored = LeadingNumber(m_settings.ReadSetting(
        QStringLiteral("Sprache"), QStringLiteral("Sprache"), QStringLiteral("1")));
    m_sprache0->setAutoExclusive(false);
    m_sprache1->setAutoExclusive(false);
    m_sprache0->setChecked(stored == 0);
    m_sprache1->setChecked(stored == 1);
    m_sprache0->setAutoExclusive(true);
    m_sprache1->setAutoExclusive(true);

    setWindowTitle(m_texts.ResText(7000));
    m_sprache0->setText(m_texts.ResText(7010));
    m_sprache1->setText(m_texts.ResText(7020));

    // A press with the mouse chooses at once; Space on a focused button does the same.
    m_sprache0->installEventFilter(this);
    m_sprache1->installEventFilter(this);
    connect(m_sprache0, &QRadioButton::clicked, this, [this] { choose(0); });
    connect(m_sprache1, &QRadioButton::clicked, this, [this] { choose(1); });

    // Wide enough for the caption beside the frame's buttons (the German one is long).
    QFont titleFont = font();
    titleFont.setBold(true);
    setMinimumWidth(std::max(260, QFontMetrics(titleFont).horizontalAdvance(windowTitle()) + 120));
    adjustSize();
}

bool frm_Sprache::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        if (watched == m_sprache0) {
            choose(0);
            return true;
        }
        if (watched == m_sprache1) {
            choose(1);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

bool frm_Sprache::event(QEvent *e)
{
    if (e->type() == QEvent::WindowActivate)
        MousePointer::restoreDefault();
    return QDialog::event(e);
}

void frm_Sprache::choose(int languageOffset)
{
    m_texts.gLanguageOffset = qint16(languageOffset);
    accept();
}

void frm_Sprache::done(int result)
{
    if (!m_closed) {
        m_closed = true;
        m_settings.WriteSetting(QStringLiteral("Sprache"), QStringLiteral("Sprache"),
                                QString::number(m_texts.gLanguageOffset));
        if (m_onClosed)
            m_onClosed();
    }
    QDialog::done(result);
}

void frm_Sprache::showEvent(QShowEvent *e)
{
    // Centred over the main window once the final size is known.
    if (QWidget *main = parentWidget()) {
        const QRect m = main->geometry();
        move(m.left() + (m.width() - width()) / 2, m.top() + (m.height() - height()) / 2);
    }
    QDialog::showEvent(e);
}

} // namespace qvr
