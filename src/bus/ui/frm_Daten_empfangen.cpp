#include "bus/ui/frm_Daten_empfangen.h"

#include "bus/BusSearch.h"
#include "bus/PortNames.h"
#include "bus/ReadoutEngine.h"
#include "bus/ui/BusConnection.h"
#include "bus/ui/SerialDevices.h"
#include "core/Clock.h"
#include "core/SettingsStore.h"
#include "core/TextTable.h"
#include "decode/ReadoutState.h"

#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>

namespace qvr {

namespace {
QString arrayName(const char *name, int index)
{
    return QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(index);
}
constexpr int kFirstAddress = 1;
constexpr int kLastAddress = 99;
constexpr int kFrameSize = 64;
} // namespace

frm_Daten_empfangen::frm_Daten_empfangen(Context context, QWidget *parent)
    : QDialog(parent), m_ctx(std::move(context))
{
    setObjectName(QStringLiteral("frm_Daten_empfangen"));
    // A read-out of this dialog starts from a clean slate: what an earlier one left must
    // not make this one ask to save.
    m_ctx.readout.gNewData = false;
    m_ctx.readout.gEndReason = 0;

    createEngine();
    m_ctx.bus.link().setAppPath(m_ctx.appPath);

    m_timer1 = m_ctx.bus.clock().createTimer();
    m_timer1->setInterval(kAnimationMs);
    m_timer1->setHandler([this] { animate(); });

    for (int i = 0; i < kFrames; ++i)
        m_images[size_t(i)] = animationFrame(i);
    buildControls();

    // Loading.
    setWindowTitle(m_ctx.texts.ResText(4000));
    m_status->setText(m_ctx.texts.ResText(4030));
    m_progressLabel->setText(m_ctx.texts.ResText(4040));
    m_start->setText(m_ctx.texts.ResText(4010));
    m_cancel->setText(m_ctx.texts.ResText(4020));
    setAddressLabel();
    for (int a = kFirstAddress; a <= kLastAddress; ++a)
        m_combo1->addItem(QString::number(a));
    m_combo1->setCurrentIndex(-1);
    setSiteTexts();
}

frm_Daten_empfangen::~frm_Daten_empfangen()
{
    // A stop still under way must not call back into a dialog that is going.
    m_closing = true;
    m_timer1.reset();
    // Whatever closed the dialog, the read-out and the port end with it.
    abortSite();
    if (m_engine)
        m_engine->StopReadout();
    m_engine.reset();
}

void frm_Daten_empfangen::createEngine()
{
    // The engine owns the link's handlers while it lives; the site's work makes its own.
    m_engine = std::make_unique<ReadoutEngine>(m_ctx.bus.link(), m_ctx.readout, m_ctx.store,
                                               m_ctx.texts, m_ctx.bus.clock(), *this);
    m_engine->setAppPath(m_ctx.appPath);
}

void frm_Daten_empfangen::buildControls()
{
    m_combo1 = new QComboBox(this);
    m_combo1->setObjectName(QStringLiteral("Combo1"));
    m_combo1->setMaxVisibleItems(15);
    m_addressLabel = new QLabel(this);
    m_addressLabel->setObjectName(QStringLiteral("lblAdresse"));
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("lblStatus"));
    m_status->setMinimumWidth(260);
    m_progressLabel = new QLabel(this);
    m_progressLabel->setObjectName(QStringLiteral("lblFortschritt"));
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("Fortschritt"));
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    m_picture1 = new QLabel(this);
    m_picture1->setObjectName(QStringLiteral("Picture1"));
    m_picture1->setFixedSize(kFrameSize, kFrameSize);
    m_picture1->setPixmap(m_images[0]);
    for (int i = 0; i < kFrames; ++i) {
        auto *image = new QLabel(this);
        image->setObjectName(arrayName("Image1", i));
        image->setPixmap(m_images[size_t(i)]);
        image->hide();
    }
    m_start = new QPushButton(this);
    m_start->setObjectName(arrayName("Command1", 0));
    m_start->setEnabled(false);
    m_cancel = new QPushButton(this);
    m_cancel->setObjectName(arrayName("Command1", 1));

    auto *top = new QGridLayout;
    top->addWidget(m_addressLabel, 0, 0);
    top->addWidget(m_combo1, 0, 1);
    top->addWidget(m_picture1, 0, 2, 2, 1, Qt::AlignRight);
    top->addWidget(m_status, 1, 0, 1, 2);
    top->setColumnStretch(1, 1);
    buildSiteControls(top);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_start);
    buttons->addWidget(m_cancel);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_progressLabel);
    layout->addWidget(m_progress);
    layout->addLayout(buttons);

    connect(m_combo1, &QComboBox::activated, this, &frm_Daten_empfangen::addressChosen);
    connect(m_start, &QPushButton::clicked, this, &frm_Daten_empfangen::startClicked);
    connect(m_cancel, &QPushButton::clicked, this, &frm_Daten_empfangen::reject);
}

QPixmap frm_Daten_empfangen::animationFrame(int index)
{
    // A panel with its display, and a light running round a ring of nine beside it.
    QPixmap pixmap(kFrameSize, kFrameSize);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(60, 60, 60), 1.5));
    p.setBrush(QColor(205, 205, 200));
    p.drawRoundedRect(QRectF(18, 20, 28, 24), 3, 3);
    p.setBrush(QColor(40, 90, 60));
    p.drawRect(QRectF(22, 24, 20, 8));
    p.setPen(Qt::NoPen);
    constexpr double kPi = 3.14159265358979323846;
    for (int i = 0; i < kFrames; ++i) {
        const double angle = -kPi / 2 + 2 * kPi * i / kFrames;
        const QPointF centre(32 + 26 * std::cos(angle), 32 + 26 * std::sin(angle));
        // The lit dot and a fading tail behind it (the pictures run 0, 8, 7, ...).
        const int age = (i - index + kFrames) % kFrames;
        const int shade = age == 0 ? 255 : age == 1 ? 170 : age == 2 ? 110 : 0;
        p.setBrush(shade > 0 ? QColor(230, 40, 30, shade) : QColor(150, 150, 150, 120));
        p.drawEllipse(centre, age == 0 ? 4.5 : 3.5, age == 0 ? 4.5 : 3.5);
    }
    return pixmap;
}

void frm_Daten_empfangen::setAddressLabel()
{
    m_addressLabel->setText(m_ctx.texts.ResText(
        m_ctx.bus.linkState().gConnType == QLatin1String("ext.") ? 13850 : 13860));
}

void frm_Daten_empfangen::placeOverParent()
{
    QWidget *main = parentWidget() ? parentWidget()->window() : nullptr;
    if (!main)
        return;
    const QRect m = main->frameGeometry();
    const QSize own = frameGeometry().size();
    move(m.left() + (m.width() - own.width()) / 2, m.top() + (m.height() - own.height()) / 2);
}

void frm_Daten_empfangen::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    placeOverParent();
    // Without a window manager the dialog may not become active; it opens the port anyway.
    QTimer::singleShot(0, this, &frm_Daten_empfangen::onActivated);
}

bool frm_Daten_empfangen::event(QEvent *e)
{
    if (e->type() == QEvent::WindowActivate)
        QTimer::singleShot(0, this, &frm_Daten_empfangen::onActivated);
    return QDialog::event(e);
}

void frm_Daten_empfangen::onActivated()
{
    // The message boxes below activate the dialog again; and once a read-out has been
    // started the port is the read-out's (a finished one leaves it closed).
    if (m_closing || m_activating || !isVisible())
        return;
    if (m_ctx.busyPointer)
        m_ctx.busyPointer(false);
    if (!m_started && !m_search) {
        m_activating = true;
        bool failed = false;
        m_ctx.bus.link().OpenBusPort(failed);
        if (failed) {
            // Message 30010 has been shown; say why where the system tells.
            const int com = int(LeadingNumber(m_ctx.bus.settings().ReadSetting(
                QStringLiteral("Schnittstelle"), QStringLiteral("Com"), QStringLiteral("2"))));
            const QString device = PortNames::deviceForCom(com, &m_ctx.bus.settings());
            const int hint = SerialDevices::hintText(SerialDevices::diagnose(device));
            if (hint != 0)
                m_ctx.asker.message(m_ctx.texts.ResText(hint).arg(device), QString(),
                                    Asker::Icon::Information, Asker::Buttons::Ok);
            if (m_ctx.showInterfaceDialog)
                m_ctx.showInterfaceDialog();
            m_activating = false;
            done(QDialog::Rejected);
            return;
        }
        m_activating = false;
    }
    setAddressLabel();
}

void frm_Daten_empfangen::addressChosen(int listIndex)
{
    if (m_started)
        return;
    m_combo1->setCurrentIndex(listIndex);
    if (m_combo1->currentIndex() >= 0)
        m_start->setEnabled(true);
}

void frm_Daten_empfangen::startClicked()
{
    if (!m_started && !m_closing && m_several->isChecked()) {
        startSite();
        return;
    }
    if (m_started || m_combo1->currentIndex() < 0 || m_closing || siteRunning())
        return;
    m_started = true;
    m_cancel->setFocus();
    if (m_ctx.mainWindowEnabled)
        m_ctx.mainWindowEnabled(false);
    m_ctx.readout.gDeviceAddress = qint16(m_combo1->currentIndex() + 1);
    m_start->setEnabled(false);
    m_cancel->setEnabled(false);
    m_combo1->setEnabled(false);
    updateSiteControls();
    if (!m_engine)
        createEngine();
    m_engine->StartReadout();
}

void frm_Daten_empfangen::animate()
{
    m_shownFrame = m_frameCounter;
    m_picture1->setPixmap(m_images[size_t(m_frameCounter)]);
    m_frameCounter = m_frameCounter == 0 ? kFrames - 1 : m_frameCounter - 1;
}

void frm_Daten_empfangen::done(int result)
{
    if (m_closing || m_stopAsked)
        return;
    if (siteRunning()) {
        // The panel being read (or the search) hands the bus back first.
        m_stopAsked = true;
        stopSite([this, result] {
            if (!m_closing)
                closeNow(result);
        });
        return;
    }
    if (m_engine && m_engine->running()) {
        // The read-out hands the panel and the bus back first, or its end (and merge)
        // finishes; the dialog closes when the engine has stopped.
        m_stopAsked = true;
        m_engine->requestStop([this, result] {
            if (!m_closing)
                closeNow(result);
        });
        return;
    }
    closeNow(result);
}

void frm_Daten_empfangen::closeNow(int result)
{
    m_closing = true;
    if (m_ctx.busyPointer)
        m_ctx.busyPointer(true);
    m_timer1->setEnabled(false);
    // Timers off, read-out and stage reset, port closed.
    abortSite();
    if (m_engine)
        m_engine->StopReadout();
    else if (m_ctx.bus.port().isOpen())
        m_ctx.bus.link().CloseBusPort();
    // A site asks when one of its panels brought its events into the file.
    if (m_siteStarted ? m_site && m_site->delivered()
                      : m_ctx.readout.gEndReason == 0 && m_ctx.readout.gNewData) {
        if (m_ctx.newDataArrived)
            m_ctx.newDataArrived();
        const Asker::Answer answer =
            m_ctx.asker.message(m_ctx.texts.ResText(kMsgSaveChanges), QString(),
                                Asker::Icon::Question, Asker::Buttons::YesNo);
        if (answer == Asker::Answer::Yes && m_ctx.saveFile)
            m_ctx.saveFile();
    }
    if (m_ctx.mainWindowEnabled)
        m_ctx.mainWindowEnabled(true);
    QDialog::done(result);
}

// ---------------------------------------------------------------------------------------
// Presenter

void frm_Daten_empfangen::setStatus(int textId)
{
    m_status->setText(m_ctx.texts.ResText(textId));
}

void frm_Daten_empfangen::setProgress(int percent)
{
    m_progress->setValue(qBound(0, percent, 100));
}

void frm_Daten_empfangen::startAnimation()
{
    m_timer1->setEnabled(true);
}

void frm_Daten_empfangen::stopAnimation()
{
    m_timer1->setEnabled(false);
}

bool frm_Daten_empfangen::animationRunning() const
{
    return m_timer1->isEnabled();
}

void frm_Daten_empfangen::showMessage(int textId, Asker::Icon icon, bool systemModal)
{
    m_ctx.asker.message(m_ctx.texts.ResText(textId), QString(), icon, Asker::Buttons::Ok,
                        systemModal);
}

void frm_Daten_empfangen::setBusyPointer(bool busy)
{
    if (m_ctx.busyPointer)
        m_ctx.busyPointer(busy);
}

void frm_Daten_empfangen::readoutSucceeded()
{
    m_cancel->setText(m_ctx.texts.ResText(ReadoutEngine::kTextOk));
    m_cancel->setEnabled(true);
    m_cancel->setFocus();
}

void frm_Daten_empfangen::enableMainWindow()
{
    if (m_ctx.mainWindowEnabled)
        m_ctx.mainWindowEnabled(true);
}

void frm_Daten_empfangen::closeDialog()
{
    done(QDialog::Rejected);
}

void frm_Daten_empfangen::storeFailure(const QString &detail)
{
    m_storeFailure = detail;
}

} // namespace qvr
