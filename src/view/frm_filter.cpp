#include "frm_filter.h"

#include "DateStyle.h"
#include "FilterClauseBuilder.h"
#include "GridCellFormatter.h"
#include "ViewPointer.h"
#include "core/Asker.h"
#include "core/TextTable.h"
#include "decode/ReadoutState.h"
#include "frm_Historiendaten.h"
#include "store/StoreState.h"

#include <QAction>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTime>

namespace qvr {

namespace {
constexpr int kCaptionId = 2000;
constexpr int kConnectorIds[3] = {2160, 2170, 2180};
constexpr int kButtonIds[3] = {2200, 2210, 2220};
constexpr int kLabelIds[5] = {2230, 2240, 2250, 2260, 2270};
constexpr int kSqlErrorId = 30110;
constexpr int kDatabaseAnswerId = 2310;
constexpr int kTitleId = 1000;

QString arrayName(const char *name, int index)
{
    return QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(index);
}

QString refusalText(const Texts &texts, const QString &clause, const QString &reason)
{
    // The clause and why it was refused, so the user sees what to change. The reason is
    // the database's own words, which have no translation.
    QString text = texts.ResText(kSqlErrorId) + QStringLiteral("\n\n") + clause.trimmed();
    if (!reason.trimmed().isEmpty())
        text += QStringLiteral("\n\n") + texts.ResText(kDatabaseAnswerId) + QLatin1Char('\n') +
                reason.trimmed();
    return text;
}
} // namespace

frm_filter::frm_filter(StoreState &store, const ReadoutState &readout, frm_Historiendaten &history,
                       const Texts &texts, Asker &asker, QWidget *mainWindow, QWidget *parent)
    : QDialog(parent ? parent : mainWindow), m_store(store), m_readout(readout), m_history(history),
      m_texts(texts), m_asker(asker), m_mainWindow(mainWindow), m_feld(new QComboBox(this)),
      m_operator1(new QComboBox(this)), m_wert(new QLineEdit(this)),
      m_operator2(new QComboBox(this)), m_filter(new QPlainTextEdit(this)),
      m_hinzufuegen(new QPushButton(this))
{
    m_locale = DateStyle(texts.gLanguageOffset).locale();
    setObjectName(QStringLiteral("frm_filter"));
    setModal(true);
    setWindowTitle(texts.ResText(kCaptionId));

    m_feld->setObjectName(QStringLiteral("cmb_feld"));
    m_operator1->setObjectName(QStringLiteral("cmb_operator1"));
    m_wert->setObjectName(QStringLiteral("txt_wert"));
    m_operator2->setObjectName(QStringLiteral("cmb_operator2"));
    m_filter->setObjectName(QStringLiteral("txt_filter"));
    m_hinzufuegen->setObjectName(QStringLiteral("cmd_hinzufügen"));
    m_hinzufuegen->setText(texts.ResText(2190));

    for (int i = 0; i < FilterClauseBuilder::FieldCount; ++i)
        m_feld->addItem(texts.ResText(FilterClauseBuilder::field(i).labelId));
    m_operator1->addItems(FilterClauseBuilder::operators());
    for (int id : kConnectorIds)
        m_operator2->addItem(texts.ResText(id));
    for (int i = 0; i < 3; ++i) {
        auto *b = new QPushButton(texts.ResText(kButtonIds[i]), this);
        b->setObjectName(arrayName("cmd_1", i));
        b->setAutoDefault(false);
        m_cmd1.append(b);
        connect(b, &QPushButton::clicked, this, [this, i] { cmd_1_Click(i); });
    }
    for (int i = 0; i < 5; ++i) {
        auto *l = new QLabel(texts.ResText(kLabelIds[i]), this);
        l->setObjectName(arrayName("Label1", i));
        m_labels.append(l);
    }
    m_hinzufuegen->setAutoDefault(false);
    m_filter->setTabChangesFocus(true);
    m_filter->setMinimumHeight(80);

    auto *grid = new QGridLayout;
    grid->addWidget(m_labels[0], 0, 0);
    grid->addWidget(m_labels[1], 0, 1);
    grid->addWidget(m_labels[2], 0, 2);
    grid->addWidget(m_labels[3], 0, 3);
    grid->addWidget(m_feld, 1, 0);
    grid->addWidget(m_operator1, 1, 1);
    grid->addWidget(m_wert, 1, 2);
    grid->addWidget(m_operator2, 1, 3);
    grid->addWidget(m_hinzufuegen, 1, 4);
    grid->addWidget(m_labels[4], 2, 0, 1, 5);
    grid->addWidget(m_filter, 3, 0, 1, 5);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cmd1[1]);
    buttons->addWidget(m_cmd1[2]);
    buttons->addWidget(m_cmd1[0]);
    grid->addLayout(buttons, 4, 0, 1, 5);
    setLayout(grid);

    connect(m_feld, &QComboBox::activated, this, [this] { cmb_feld_Click(); });
    connect(m_hinzufuegen, &QPushButton::clicked, this, [this] { cmd_hinzufuegen_Click(); });

    // The initial state: building, nothing added yet.
    m_feld->setCurrentIndex(0);
    cmb_feld_Click();
    m_operator1->setCurrentIndex(FilterClauseBuilder::OperatorEqual);
    m_operator2->setCurrentIndex(0);
    m_hinzufuegen->setEnabled(true);
    m_cmd1[0]->setEnabled(true);
    m_cmd1[1]->setEnabled(false);
    m_cmd1[2]->setEnabled(true);

    adjustSize();
    if (m_mainWindow) {
        const QRect main = m_mainWindow->geometry();
        move(main.x() + (main.width() - width()) / 2, main.y() + (main.height() - height()) / 2);
    }
    setToolbarButtonPressed(true);
    ViewPointer::restoreDefault();
}

frm_filter::~frm_filter() = default;

void frm_filter::setLocale(const QLocale &locale)
{
    m_locale = DateStyle(m_texts.gLanguageOffset, locale).locale();
    cmb_feld_Click();
}

void frm_filter::cmb_feld_Click()
{
    const int f = m_feld->currentIndex();
    m_wert->setText(FilterClauseBuilder::defaultValue(f, m_texts, m_locale));
    m_operator1->setEnabled(true);
    if (FilterClauseBuilder::isTextPattern(f)) {
        // A text pattern is always compared with " like ".
        m_operator1->setCurrentIndex(FilterClauseBuilder::OperatorEqual);
        m_operator1->setEnabled(false);
    }
}

void frm_filter::cmd_hinzufuegen_Click()
{
    const auto condition = FilterClauseBuilder::addCondition(
        m_feld->currentIndex(), m_operator1->currentIndex(), m_wert->text(),
        m_operator2->currentIndex(), m_readout.gDeviceClass, m_texts, m_locale);
    if (!condition.ok) {
        QString text = m_texts.ResText(condition.errorId);
        if (condition.errorId == FilterClauseBuilder::NotADateId)
            text =
                text.arg(DateStyle(m_texts.gLanguageOffset, m_locale).date(QDate::currentDate()));
        else if (condition.errorId == FilterClauseBuilder::NotATimeId)
            text = text.arg(DateStyle(m_texts.gLanguageOffset, m_locale).time(QTime(14, 3)));
        m_asker.message(text, messageTitle(), Asker::Icon::Exclamation, Asker::Buttons::Ok);
        m_wert->setFocus();
        m_wert->selectAll();
        return;
    }
    m_wert->setText(condition.valueBox);
    m_filter->setPlainText(m_filter->toPlainText() + condition.text);

    const int connector = m_operator2->currentIndex();
    if (connector != 1 && connector != 2) {
        m_hinzufuegen->setEnabled(false);
        m_cmd1[1]->setEnabled(true);
        m_cmd1[1]->setFocus();
    }
    m_operator2->setCurrentIndex(0);
}

void frm_filter::cmd_1_Click(int index)
{
    switch (index) {
    case 0:
        reject();
        break;
    case 1:
        runQuery(false);
        break;
    case 2:
        runQuery(true);
        break;
    default:
        break;
    }
}

void frm_filter::runQuery(bool reset)
{
    ViewPointer::showHourglass();
    if (reset)
        m_filter->setPlainText(QStringLiteral("TableauAdresse>0"));
    const QString sql = QStringLiteral("Select * ") + QStringLiteral("From HISTORY WHERE ") +
                        m_filter->toPlainText() +
                        QStringLiteral(" order by TableauAdresse, Start_Datum, Stop_Datum");

    // The clause is checked at once, without reading a row (a clause the database refuses
    // is reported before the window closes); the grid then shows the result, a large one
    // read in the background. The selection runs read-only: whatever the clause says, the
    // file stays as it is.
    std::vector<qint64> none;
    bool ok = false;
    QString reason;
    if (m_store.gDatabase && m_store.gDatabase->selectRowIds(sql, 0, &none, &reason)) {
        ok =
            m_history.ShowRecords(sql, frm_Historiendaten::Purpose::Filter); // reports its failures
    } else {
        ViewPointer::restoreDefault();
        m_asker.message(refusalText(m_texts, m_filter->toPlainText(), reason), messageTitle(),
                        Asker::Icon::Critical, Asker::Buttons::Ok, true);
    }
    done(ok ? QDialog::Accepted : QDialog::Rejected);
}

void frm_filter::done(int result)
{
    // Unload: the toolbar button comes up and the hourglass shows until the grid is
    // active again.
    setToolbarButtonPressed(false);
    ViewPointer::showHourglass();
    QDialog::done(result);
}

void frm_filter::setToolbarButtonPressed(bool pressed)
{
    if (!m_mainWindow)
        return;
    if (auto *action = m_mainWindow->findChild<QAction *>(QStringLiteral("Datei_filtern"))) {
        action->setCheckable(true);
        action->setChecked(pressed);
    }
}

QString frm_filter::messageTitle() const
{
    return m_texts.ResText(kTitleId);
}

} // namespace qvr
