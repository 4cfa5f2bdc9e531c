// The read-out dialog's second mode: several panels of one bus (a site) from a list of
// addresses or from a search of the bus.
#include "bus/BusSearch.h"
#include "bus/ReadoutEngine.h"
#include "bus/ui/BusConnection.h"
#include "bus/ui/frm_Daten_empfangen.h"
#include "core/TextTable.h"
#include "decode/ReadoutState.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace qvr {

namespace {
constexpr int kTextReady = 4030;
constexpr int kTextProgress = 31110;
constexpr int kTextSearching = 31350;
constexpr int kTextFound = 31360;
constexpr int kTextNoneFound = 31370;
constexpr int kTextFoundHeading = 31380;
constexpr int kTextOne = 31390;
constexpr int kTextSeveral = 31400;
constexpr int kTextSearch = 31410;
constexpr int kTextBadList = 31420;
constexpr int kTextResults = 31430;
constexpr int kTextExample = 31450;
} // namespace

void frm_Daten_empfangen::buildSiteControls(QGridLayout *top)
{
    m_one = new QRadioButton(this);
    m_one->setObjectName(QStringLiteral("optEinGeraet"));
    m_one->setChecked(true);
    m_several = new QRadioButton(this);
    m_several->setObjectName(QStringLiteral("optMehrereGeraete"));
    m_list = new QLineEdit(this);
    m_list->setObjectName(QStringLiteral("txtAdressliste"));
    m_searchButton = new QPushButton(this);
    m_searchButton->setObjectName(QStringLiteral("cmdBusSuchen"));
    m_panelLabel = new QLabel(this);
    m_panelLabel->setObjectName(QStringLiteral("lblGeraet"));

    auto *modes = new QHBoxLayout;
    modes->addWidget(m_one);
    modes->addWidget(m_several);
    modes->addStretch(1);
    top->addLayout(modes, 2, 0, 1, 3);
    auto *list = new QHBoxLayout;
    list->addWidget(m_list, 1);
    list->addWidget(m_searchButton);
    top->addLayout(list, 3, 0, 1, 3);
    top->addWidget(m_panelLabel, 4, 0, 1, 3);

    connect(m_several, &QRadioButton::toggled, this, &frm_Daten_empfangen::severalChosen);
    connect(m_list, &QLineEdit::textChanged, this, &frm_Daten_empfangen::listEdited);
    connect(m_searchButton, &QPushButton::clicked, this, &frm_Daten_empfangen::searchClicked);
    updateSiteControls();
}

void frm_Daten_empfangen::setSiteTexts()
{
    m_one->setText(m_ctx.texts.ResText(kTextOne));
    m_several->setText(m_ctx.texts.ResText(kTextSeveral));
    m_searchButton->setText(m_ctx.texts.ResText(kTextSearch));
    m_list->setPlaceholderText(m_ctx.texts.ResText(kTextExample));
}

bool frm_Daten_empfangen::siteRunning() const
{
    return (m_search && m_search->running()) || (m_site && m_site->running());
}

void frm_Daten_empfangen::updateSiteControls()
{
    const bool busy = m_started || m_search || siteRunning();
    const bool several = m_several->isChecked();
    m_one->setEnabled(!busy);
    m_several->setEnabled(!busy);
    m_list->setEnabled(!busy && several);
    m_searchButton->setEnabled(!busy && several);
    m_panelLabel->setVisible(several);
    if (busy)
        return;
    m_combo1->setEnabled(!several);
    QList<int> addresses;
    bool all = false;
    const bool valid = SiteReadout::ParseAddressList(m_list->text(), &addresses, &all);
    m_start->setEnabled(several ? valid : m_combo1->currentIndex() >= 0);
    if (several)
        m_panelLabel->setText(valid || m_list->text().trimmed().isEmpty()
                                  ? QString()
                                  : m_ctx.texts.ResText(kTextBadList).arg(m_list->text()));
}

void frm_Daten_empfangen::severalChosen(bool)
{
    updateSiteControls();
}

void frm_Daten_empfangen::listEdited()
{
    updateSiteControls();
}

void frm_Daten_empfangen::searchClicked()
{
    if (m_started || m_search || m_closing || !m_several->isChecked())
        return;
    runSearch(false);
}

void frm_Daten_empfangen::startSite()
{
    QList<int> addresses;
    bool all = false;
    if (siteRunning() || m_search ||
        !SiteReadout::ParseAddressList(m_list->text(), &addresses, &all))
        return;
    m_started = true;
    m_siteStarted = true;
    m_ctx.readout.gNewData = false;
    if (m_ctx.mainWindowEnabled)
        m_ctx.mainWindowEnabled(false);
    m_start->setEnabled(false);
    m_combo1->setEnabled(false);
    // Cancel stays: it stops the site the safe way.
    m_cancel->setFocus();
    updateSiteControls();
    if (all)
        runSearch(true);
    else
        startSiteReadout(addresses, m_searchMaster);
}

void frm_Daten_empfangen::runSearch(bool thenRead)
{
    // The search owns the link's handlers while it runs.
    m_engine.reset();
    m_search = std::make_unique<BusSearch>(m_ctx.bus.link(), m_ctx.bus.clock());
    m_search->asking = [this](int number, int count, int address) {
        m_panelLabel->setText(
            m_ctx.texts.ResText(kTextSearching).arg(address).arg(number).arg(count));
        setProgress(number * 100 / count);
    };
    m_search->finished = [this, thenRead] { searchFinished(thenRead); };
    updateSiteControls();
    m_start->setEnabled(false);
    setStatus(ReadoutEngine::kStatusCheckInterface);
    setProgress(0);
    startAnimation();
    QList<int> all;
    bool every = false;
    SiteReadout::ParseAddressList(QStringLiteral("all"), &all, &every);
    m_search->start(all);
}

void frm_Daten_empfangen::searchFinished(bool thenRead)
{
    if (m_closing)
        return;
    const std::unique_ptr<BusSearch> search = std::move(m_search);
    stopAnimation();
    // Back to the dialog's first state until a read-out starts.
    setStatus(kTextReady);
    setProgress(0);
    m_searchMaster = search->masterAddress();
    if (m_searchStopped) {
        const std::function<void()> stopped = std::move(m_searchStopped);
        m_searchStopped = nullptr;
        stopped();
        return;
    }
    // The port is open while the dialog is, as before the search.
    BusLink &link = m_ctx.bus.link();
    link.setLogAppend(true);
    bool failed = false;
    link.OpenBusPort(failed);
    link.setLogAppend(false);
    if (failed) {
        done(QDialog::Rejected);
        return;
    }
    if (search->endMessage() != 0)
        showMessage(search->endMessage(), Asker::Icon::Critical, true);
    QList<int> addresses;
    QStringList lines;
    for (const BusSearch::Panel &p : search->panels()) {
        addresses << p.address;
        lines << m_ctx.texts.ResText(kTextFound).arg(p.address).arg(p.type, p.model, p.deviceClass);
    }
    m_panelLabel->clear();
    if (!addresses.isEmpty())
        m_list->setText(SiteReadout::FormatAddressList(addresses));
    if (thenRead && !addresses.isEmpty() && search->endMessage() == 0) {
        startSiteReadout(addresses, m_searchMaster);
        return;
    }
    m_ctx.asker.message(addresses.isEmpty() ? m_ctx.texts.ResText(kTextNoneFound)
                                            : m_ctx.texts.ResText(kTextFoundHeading) +
                                                  QLatin1Char('\n') + lines.join('\n'),
                        QString(), Asker::Icon::Information, Asker::Buttons::Ok);
    if (thenRead) {
        // Nothing to read: the dialog ends as a read-out does.
        readoutSucceeded();
        enableMainWindow();
        return;
    }
    updateSiteControls();
}

void frm_Daten_empfangen::startSiteReadout(const QList<int> &addresses, int masterBefore)
{
    // Each panel gets its own engine run inside the site read-out.
    m_engine.reset();
    m_site = std::make_unique<SiteReadout>(m_ctx.bus.link(), m_ctx.readout, m_ctx.store,
                                           m_ctx.texts, m_ctx.bus.clock(), *this, *this);
    m_site->setAppPath(m_ctx.appPath);
    m_site->start(addresses, masterBefore);
}

void frm_Daten_empfangen::panelStarted(int number, int count, int address)
{
    m_panelText = m_ctx.texts.ResText(SiteReadout::kMsgPanel).arg(number).arg(count).arg(address);
    m_panelLabel->setText(m_panelText);
}

void frm_Daten_empfangen::entryProgress(int index, int count)
{
    if (m_site && m_site->running())
        m_panelLabel->setText(m_panelText + QStringLiteral("  ") +
                              m_ctx.texts.ResText(kTextProgress).arg(index).arg(count));
}

void frm_Daten_empfangen::siteFinished()
{
    bool allRead = true;
    for (const SiteReadout::PanelResult &r : m_site->results())
        allRead = allRead && r.state == SiteReadout::PanelResult::State::Read &&
                  r.message != ReadoutEngine::kMsgReturnFailed;
    m_ctx.asker.message(m_ctx.texts.ResText(kTextResults) + QLatin1Char('\n') +
                            m_site->summary().join(QLatin1Char('\n')),
                        QString(), allRead ? Asker::Icon::Information : Asker::Icon::Exclamation,
                        Asker::Buttons::Ok);
    readoutSucceeded();
    enableMainWindow();
}

void frm_Daten_empfangen::stopSite(std::function<void()> stopped)
{
    if (m_site && m_site->running()) {
        m_site->requestStop(std::move(stopped));
    } else if (m_search && m_search->running()) {
        m_searchStopped = std::move(stopped);
        m_search->requestStop();
    } else if (stopped) {
        stopped();
    }
}

void frm_Daten_empfangen::abortSite()
{
    m_searchStopped = nullptr;
    if (m_site)
        m_site->abort();
    // A search that has not finished gives the link's handlers up as it goes.
    m_search.reset();
}

} // namespace qvr
