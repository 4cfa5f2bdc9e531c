#include "PanelSimulator.h"

#include "PanelAnswers.h"
#include "bus/Frame.h"

#include <cmath>

namespace qvr {

namespace {

QString address3(int address)
{
    return PanelAnswers::num(address, 3);
}

// The panel writes "&" with its character code 24, since "&" ends the parameters; line
// ends would end the frame.
QString safeParam(QString param)
{
    for (QChar &c : param) {
        if (c == QLatin1Char('&'))
            c = QChar(24);
        else if (c == QLatin1Char('\r') || c == QLatin1Char('\n'))
            c = QLatin1Char(' ');
    }
    return param;
}

} // namespace

PanelSimulator::PanelSimulator(PanelScenario scenario, quint32 noiseSeed)
    : m_s(std::move(scenario)), m_noise(noiseSeed), m_rules(m_s.faults.rules)
{
}

void PanelSimulator::start(qint64 nowMs)
{
    m_started = true;
    m_lineFreeMs = qMax(m_lineFreeMs, double(nowMs));
    m_rxWireMs = qMax(m_rxWireMs, double(nowMs));
    if (m_s.master.present) {
        m_master = MasterState::Polling;
        m_masterNextMs = nowMs + m_s.master.pollIntervalMs;
    }
}

void PanelSimulator::receive(const QByteArray &bytes, qint64 nowMs)
{
    runMaster(nowMs);
    const double charMs = m_s.timing.charMs();
    for (char b : bytes) {
        ++m_stats.charsReceived;
        m_rxWireMs = qMax(m_rxWireMs, double(nowMs)) + charMs;
        m_parser.ParseRxChar(static_cast<unsigned char>(b));
        if (m_parser.gRxFrameComplete == 1)
            handleFrame(qint64(std::ceil(m_rxWireMs)));
    }
}

QByteArray PanelSimulator::takeOutput(qint64 nowMs)
{
    runMaster(nowMs);
    QByteArray out;
    while (!m_out.isEmpty() && m_out.first().dueMs <= nowMs)
        out += m_out.takeFirst().bytes;
    return out;
}

qint64 PanelSimulator::nextDueMs() const
{
    qint64 due = m_out.isEmpty() ? -1 : m_out.first().dueMs;
    if (m_masterNextMs >= 0 && (due < 0 || m_masterNextMs < due))
        due = m_masterNextMs;
    return due;
}

void PanelSimulator::addPanel(PanelScenario panel)
{
    panel.master.present = false;
    panel.timing = m_s.timing;
    m_site.push_back(std::make_unique<PanelSimulator>(std::move(panel)));
    m_site.back()->m_line = this;
}

PanelSimulator *PanelSimulator::panelAt(int address)
{
    if (address == m_s.address)
        return this;
    for (const auto &p : m_site)
        if (p->m_s.address == address)
            return p.get();
    return nullptr;
}

PanelSimulator::Stats PanelSimulator::stats() const
{
    Stats sum = m_stats;
    for (const auto &p : m_site) {
        sum.answers += p->m_stats.answers;
        sum.turnarounds += p->m_stats.turnarounds;
    }
    return sum;
}

bool PanelSimulator::readoutOver() const
{
    if (!m_lcdstAnswered)
        return false;
    for (const auto &p : m_site)
        if (!p->m_lcdstAnswered)
            return false;
    return !m_s.master.present || m_masterReturned;
}

void PanelSimulator::handleFrame(qint64 endMs)
{
    const bool request = m_parser.gRxKind == 1;
    const int address = m_parser.gRxAddress;
    const QString command = m_parser.gRxCommand.trimmed();
    const QString param = m_parser.gRxParam;
    m_parser.reset();

    QString text = QStringLiteral(":") + (request ? QLatin1Char(';') : QLatin1Char(':'))
                   + address3(address) + QLatin1Char(':') + command;
    if (!param.isEmpty())
        text += QLatin1Char(' ') + param;
    ++m_stats.framesReceived;
    if (m_recording)
        m_framesFromPc << text;

    if (PanelSimulator *panel = request ? panelAt(address) : nullptr) {
        if (m_recording)
            m_panelRequests << text;
        panel->answerPanel(command, param, endMs);
    }
    if (m_s.master.present)
        handleMaster(request, address, command, param, endMs);
}

bool PanelSimulator::takeFault(PanelScenario::FaultRule::Kind kind, const QString &command,
                               int index)
{
    for (PanelScenario::FaultRule &r : m_rules) {
        if (r.kind != kind || r.times == 0)
            continue;
        if (!r.command.isEmpty() && r.command != command)
            continue;
        if (r.index >= 0 && r.index != index)
            continue;
        if (r.times > 0)
            --r.times;
        return true;
    }
    return false;
}

void PanelSimulator::answerPanel(const QString &command, const QString &param, qint64 endMs)
{
    using Kind = PanelScenario::FaultRule::Kind;
    if (m_silent)
        return;
    bool numberOk = false;
    const int index = param.trimmed().toInt(&numberOk);
    const int number = numberOk ? index : -1;
    if (command == QLatin1String("LCDRH") && m_s.faults.silentFromEntry > 0
        && number >= m_s.faults.silentFromEntry) {
        m_silent = true;
        return;
    }
    if (command == QLatin1String("LCDRA") && m_s.faults.noAnalog)
        return;

    const bool failing = takeFault(Kind::FailCheck, command, number);
    const int count = int(m_s.events.size());
    QString answerCommand = command;
    QString answer;
    if (command == QLatin1String("IDNM?")) {
        answerCommand = m_s.deviceType;
        answer = m_s.model;
    } else if (command == QLatin1String("LCDH")) {
        if (m_s.faults.isx)
            answerCommand = QStringLiteral("isxon");
    } else if (command == QLatin1String("RQRTS")) {
        answer = failing ? QStringLiteral("21") : m_s.language;
    } else if (command == QLatin1String("RQNA?")) {
        answerCommand = QStringLiteral("NA=");
        answer = PanelAnswers::num(int(m_s.alarmTable.size()), 3);
    } else if (command == QLatin1String("RQRAA")) {
        if (number >= 1 && number <= m_s.alarmTable.size())
            answer =
                PanelAnswers::alarmRow(failing ? number - 1 : number, m_s.alarmTable[number - 1]);
    } else if (command == QLatin1String("LCDH?")) {
        answerCommand = QStringLiteral("n=");
        answer = PanelAnswers::num(failing ? m_s.historyLimit() + 1 : count, 3);
    } else if (command == QLatin1String("LCDRH")) {
        if (number >= 1 && number <= count)
            answer = PanelAnswers::history(m_s, number, failing);
    } else if (command == QLatin1String("LCDRP")) {
        const int alarm = qMax(0, number);
        answer = PanelAnswers::program(m_s.layout, alarm, m_s.programs.value(alarm), failing);
    } else if (command == QLatin1String("LCDRT")) {
        const int textNumber = qMax(0, number);
        answer = PanelAnswers::text(m_s.layout, textNumber, m_s.texts.value(textNumber),
                                    failing);
    } else if (command == QLatin1String("LCDRA")) {
        answerCommand = QStringLiteral("AX=");
        const int entry = qMax(0, number);
        answer = PanelAnswers::analog(entry >= 1 && entry <= count ? m_s.events[entry - 1]
                                                                   : PanelScenario::Event(),
                                      entry, failing);
    } else if (command == QLatin1String("LCDST")) {
        m_lcdstAnswered = true;
    } else {
        return; // a command this panel does not know goes unanswered
    }

    if (takeFault(Kind::Silent, command, number))
        return;
    if (takeFault(Kind::Empty, command, number))
        answer.clear();
    bool badChecksum = takeFault(Kind::BadChecksum, command, number);
    ++m_answerCounter;
    if (m_s.faults.badChecksumEvery > 0 && m_answerCounter % m_s.faults.badChecksumEvery == 0)
        badChecksum = true;

    QString frame = QStringLiteral("::") + address3(m_s.address) + QLatin1Char(':')
                    + answerCommand;
    if (!answer.isEmpty())
        frame += QLatin1Char(' ') + safeParam(answer);
    ++m_stats.answers;
    ++m_stats.turnarounds;
    send(frame, double(endMs) + m_s.timing.turnaroundMs, badChecksum);
}

void PanelSimulator::handleMaster(bool request, int address, const QString &command,
                                  const QString &param, qint64 endMs)
{
    const PanelScenario::Master &m = m_s.master;
    const double react = double(endMs) + m.releaseDelayMs;
    if (m_master == MasterState::AwaitReply && !request && address == 101
        && command == QLatin1String("MAST") && param == QLatin1String("1")) {
        if (m.neverReleases)
            return;
        ++m_stats.turnarounds;
        send(QStringLiteral("::") + address3(m.address) + QLatin1Char(':'), react);
        m_master = MasterState::Released;
        m_masterReturned = false;
        m_releasedAtMs = m_lineFreeMs;
        m_masterNextMs = -1;
        return;
    }
    if (request && address == m.address && command == QLatin1String("MAST?")
        && param == QLatin1String("101")) {
        if (m.neverTakesBack)
            return;
        ++m_stats.turnarounds;
        send(QStringLiteral("::") + address3(m.address) + QLatin1String(":MAST 1"), react);
        if (m_master == MasterState::Released && m_releasedAtMs >= 0)
            m_stats.masterReleasedMs += qint64(std::ceil(double(endMs) - m_releasedAtMs));
        m_releasedAtMs = -1;
        m_masterReturned = true;
        m_master = MasterState::AwaitAck;
        // Without the acknowledgment it takes the bus up again after a second.
        m_masterNextMs = qint64(std::ceil(m_lineFreeMs)) + 1000;
        return;
    }
    if (m_master == MasterState::AwaitAck && !request && address == 101 && command.isEmpty()
        && param.isEmpty()) {
        m_master = MasterState::Polling;
        m_masterNextMs = endMs + m.pollIntervalMs;
    }
}

void PanelSimulator::runMaster(qint64 nowMs)
{
    const PanelScenario::Master &m = m_s.master;
    if (!m.present || !m_started)
        return;
    while (m_masterNextMs >= 0 && m_masterNextMs <= nowMs) {
        switch (m_master) {
        case MasterState::Polling: {
            if (m.queries.isEmpty()) {
                m_masterNextMs = -1;
                break;
            }
            const QString query = m.queries[m_queryIndex % m.queries.size()];
            ++m_queryIndex;
            const qint64 sentBefore = m_stats.charsSent;
            send(query, double(m_masterNextMs));
            m_stats.pollChars += m_stats.charsSent - sentBefore;
            const qint64 end = qint64(std::ceil(m_lineFreeMs));
            if (query.startsWith(QLatin1String(":;101:MAST?"))) {
                m_master = MasterState::AwaitReply;
                m_masterNextMs = end + m.replyWindowMs;
            } else {
                m_masterNextMs = end + m.pollIntervalMs;
            }
            break;
        }
        case MasterState::AwaitReply:
        case MasterState::AwaitAck:
            // No reply in time: back to polling.
            m_master = MasterState::Polling;
            m_masterNextMs += m.pollIntervalMs;
            break;
        case MasterState::Released:
            m_masterNextMs = -1;
            break;
        }
    }
}

void PanelSimulator::send(const QString &frameText, double earliestMs, bool badChecksum)
{
    if (m_line) {
        m_line->send(frameText, earliestMs, badChecksum);
        return;
    }
    QString full = CompleteFrame(frameText);
    if (badChecksum) {
        // The last checksum character one too high: the sum is off by one.
        const int at = full.size() - 3;
        full[at] = QChar(full[at].unicode() + 1);
    }
    QByteArray bytes;
    if (m_s.faults.garbage) {
        // Noise without ":" cannot start a frame, so it costs the receiver nothing but
        // the characters it has to skip.
        const int n = 1 + int(m_noise.bounded(8));
        for (int i = 0; i < n; ++i) {
            char c = char(m_noise.bounded(256));
            if (c == ':')
                c = '\0';
            bytes += c;
        }
    }
    bytes += FrameBytes(full);
    const double start = qMax(earliestMs, m_lineFreeMs);
    m_lineFreeMs = start + bytes.size() * m_s.timing.charMs();
    m_out.append({qint64(std::ceil(m_lineFreeMs)), bytes});
    if (m_recording)
        m_framesSent << frameText;
    m_stats.charsSent += bytes.size();
}

} // namespace qvr
