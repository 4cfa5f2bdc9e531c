#include "bus/RxParser.h"

#include <limits>

namespace qvr {

namespace {
constexpr unsigned char kLF = 10;
constexpr unsigned char kCR = 13;

bool isDigit(unsigned char ch)
{
    return ch >= '0' && ch <= '9';
}
} // namespace

// The running sum is a 16-bit number; a sum that would overflow (only possible with
// 8-bit garbage) is a parsing failure and drops the frame.
bool RxParser::addToSum(unsigned char ch)
{
    const int sum = int(gRxSum) + ch;
    if (sum > std::numeric_limits<qint16>::max())
        return false;
    gRxSum = static_cast<qint16>(sum);
    return true;
}

void RxParser::startIdle(unsigned char ch)
{
    // Runs for every character between frames: reuse the buffers.
    gRxAddress = 0;
    gRxCommand.fill(QLatin1Char(' '), kCommandLength);
    gRxParam.resize(0);
    gRxSum = 0;
    m_candidate.resize(0);
    m_rescanFrom = 1;
    if (ch == ':') {
        gRxSum = ch;
        gRxState = 1;
        m_candidate.append(char(ch));
    }
}

void RxParser::endOfFrame()
{
    const bool sumOk = (gRxSum % 256) == 0;
    // Frames of this command with parameters starting "000" carry no usable checksum.
    const bool exempt =
        gRxCommand == QLatin1String("PX=  ") && gRxParam.startsWith(QLatin1String("000"));
    if (sumOk || exempt) {
        gRxSum = 0;
        gRxFrameComplete = 1;
        m_candidate.resize(0);
        m_rescanFrom = 0;
    } else {
        gRxState = 0;
    }
}

void RxParser::ParseRxChar(unsigned char ch)
{
    gRxLogLine += QChar(ch);
    if (ch == kLF || gRxLogLine.size() >= kMaxLogLine) {
        if (m_logSink)
            m_logSink(gRxLogLine);
        gRxLogLine.resize(0);
    }

    if (step(ch))
        return;
    // The frame broke: parse its characters again from the next ":" after its start.
    // An LF always ends a frame, so it can only be the last of them and a frame found
    // again completes no earlier than the character just received.
    QByteArray queue;
    qsizetype next = 0;
    bool broke = true;
    while (true) {
        if (broke) {
            const qsizetype restart = m_candidate.indexOf(':', m_rescanFrom);
            QByteArray rest = restart >= 0 ? m_candidate.mid(restart) : QByteArray();
            rest += QByteArrayView(queue).sliced(next);
            queue = std::move(rest);
            next = 0;
            m_candidate.resize(0);
            m_rescanFrom = 1;
            gRxState = 0;
        }
        if (next >= queue.size())
            break;
        broke = !step(static_cast<unsigned char>(queue[next++]));
    }
}

bool RxParser::step(unsigned char ch)
{
    const int state = gRxState;
    if (state == 0) {
        startIdle(ch);
        return true;
    }
    m_candidate.append(char(ch));

    // A frame is one line: an LF anywhere before the checksum ends it unfinished.
    if (ch == kLF && (state < 200 || state > 203))
        return false;

    if (state == 1) {
        if (ch != ':' && ch != ';')
            return false;
        if (!addToSum(ch))
            return false;
        gRxKind = ch == ';' ? 1 : 0;
        gRxState = 2;
    } else if (state >= 2 && state <= 4) {
        if (!isDigit(ch) || (state == 2 && ch > '2'))
            return false;
        if (!addToSum(ch))
            return false;
        const int digit = ch - '0';
        gRxAddress = static_cast<qint16>(gRxAddress + digit * (state == 2   ? 100
                                                               : state == 3 ? 10
                                                                            : 1));
        gRxState = static_cast<qint16>(state + 1);
    } else if (state == 5) {
        if (ch != ':' && ch != ' ')
            return false;
        if (!addToSum(ch))
            return false;
        gRxState = ch == ':' ? 6 : 12;
    } else if (state >= 6 && state <= 11) {
        if (ch == ' ' || ch == '&') {
            if (!addToSum(ch))
                return false;
            gRxParam.resize(0);
            gRxState = ch == ' ' ? 12 : 200;
        } else if (state == 11) {
            return false; // a sixth command character
        } else {
            if (!addToSum(ch))
                return false;
            gRxParam.resize(0);
            gRxCommand[state - 6] = QChar(ch);
            gRxState = static_cast<qint16>(state + 1);
        }
    } else if (state >= 12 && state <= 199) {
        if (!addToSum(ch))
            return false;
        if (ch == '&') {
            gRxState = 200;
        } else {
            gRxParam += QChar(ch);
            gRxState = static_cast<qint16>(state + 1);
        }
    } else if (state >= 200 && state <= 203) {
        if (ch == kLF) {
            endOfFrame();
            return gRxState != 0;
        }
        if (ch != kCR) {
            if (!addToSum(ch))
                return false;
            gRxState = static_cast<qint16>(state + 1);
        }
    } else {
        return false; // 204: too many checksum characters
    }
    return true;
}

} // namespace qvr
