#include "frm_ueber.h"

#include "core/TextTable.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace qvr {

frm_über::frm_über(const Texts &texts, const QString &version, QWidget *mainWindow)
    : QDialog(mainWindow), m_command1(new QPushButton(this))
{
    setObjectName(QString::fromUtf8("frm_über"));
    setModal(true);
    setWindowTitle(texts.ResText(1140).remove(QLatin1Char('&')));

    auto *logo = new QLabel(this);
    logo->setObjectName(QStringLiteral("Image1"));
    logo->setPixmap(QPixmap(QStringLiteral(":/qvr/shell/Logo.png")));

    auto *name = new QLabel(texts.ResText(1000), this);
    name->setObjectName(QStringLiteral("Label1(0)"));
    QFont big = name->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    name->setFont(big);

    auto *versionLabel = new QLabel(texts.ResText(1510) + QLatin1Char(' ') + version, this);
    versionLabel->setObjectName(QStringLiteral("Label1(1)"));

    auto *purpose = new QLabel(texts.ResText(1500), this);
    purpose->setObjectName(QStringLiteral("Label1(2)"));
    purpose->setWordWrap(true);
    purpose->setMinimumWidth(320);

    m_command1->setObjectName(QStringLiteral("Command1"));
    m_command1->setText(texts.ResText(1520));
    m_command1->setDefault(true);
    connect(m_command1, &QPushButton::clicked, this, &QDialog::accept);

    auto *textColumn = new QVBoxLayout;
    textColumn->addWidget(name);
    textColumn->addWidget(versionLabel);
    textColumn->addSpacing(8);
    textColumn->addWidget(purpose);
    textColumn->addStretch(1);
    auto *top = new QHBoxLayout;
    top->addWidget(logo, 0, Qt::AlignTop);
    top->addSpacing(12);
    top->addLayout(textColumn, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_command1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
    adjustSize();
}

void frm_über::showEvent(QShowEvent *e)
{
    // Centred over the main window once the final size is known.
    if (QWidget *main = parentWidget()) {
        const QRect m = main->geometry();
        move(m.left() + (m.width() - width()) / 2, m.top() + (m.height() - height()) / 2);
    }
    QDialog::showEvent(e);
}

} // namespace qvr
