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
    if (sum > std::numeric_limits<qint16>::max()) {
        gRxState = 0;
        return false;
    }
    gRxSum = static_cast<qint16>(sum);
    return true;
}

void RxParser::startIdle(unsigned char ch)
{
    gRxAddress = 0;
    gRxCommand = QString(kCommandLength, QLatin1Char(' '));
    gRxParam.clear();
    gRxSum = 0;
    if (ch == ':') {
        gRxSum = ch;
        gRxState = 1;
    }
}

// Drops the frame being received. A ":" that does not fit the frame so far is the start
// of the next one, so a valid frame right after a broken one is not lost.
void RxParser::reject(unsigned char ch)
{
    gRxState = 0;
    if (ch == ':')
        startIdle(ch);
}

void RxParser::endOfFrame()
{
    const bool sumOk = (gRxSum % 256) == 0;
    // Frames of this command with parameters starting "000" carry no usable checksum.
    const bool exempt = gRxCommand == QLatin1String("PX=  ") && gRxParam.startsWith(QLatin1String("000"));
    if (sumOk || exempt) {
        gRxSum = 0;
        gRxFrameComplete = 1;
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
        gRxLogLine.clear();
    }

    const int state = gRxState;
    if (state == 0) {
        startIdle(ch);
        return;
    }
    // A frame is one line: an LF anywhere before the checksum ends it unfinished.
    if (ch == kLF && (state < 200 || state > 203)) {
        gRxState = 0;
        return;
    }

    if (state == 1) {
        if (ch == ':' || ch == ';') {
            if (addToSum(ch)) {
                gRxKind = ch == ';' ? 1 : 0;
                gRxState = 2;
            }
        } else {
            reject(ch);
        }
    } else if (state >= 2 && state <= 4) {
        if (!isDigit(ch) || (state == 2 && ch > '2')) {
            reject(ch);
        } else if (addToSum(ch)) {
            const int digit = ch - '0';
            gRxAddress = static_cast<qint16>(gRxAddress + digit * (state == 2 ? 100 : state == 3 ? 10 : 1));
            gRxState = static_cast<qint16>(state + 1);
        }
    } else if (state == 5) {
        if (ch == ':' || ch == ' ') {
            if (addToSum(ch))
                gRxState = ch == ':' ? 6 : 12;
        } else {
            reject(ch);
        }
    } else if (state >= 6 && state <= 11) {
        if (ch == ' ' || ch == '&') {
            if (addToSum(ch)) {
                gRxParam.clear();
                gRxState = ch == ' ' ? 12 : 200;
            }
        } else if (state == 11) {
            reject(ch); // a sixth command character
        } else if (addToSum(ch)) {
            gRxParam.clear();
            gRxCommand[state - 6] = QChar(ch);
            gRxState = static_cast<qint16>(state + 1);
        }
    } else if (state >= 12 && state <= 199) {
        if (addToSum(ch)) {
            if (ch == '&') {
                gRxState = 200;
            } else {
                gRxParam += QChar(ch);
                gRxState = static_cast<qint16>(state + 1);
            }
        }
    } else if (state >= 200 && state <= 203) {
        if (ch == kLF)
            endOfFrame();
        else if (ch != kCR && addToSum(ch))
            gRxState = static_cast<qint16>(state + 1);
    } else {
        reject(ch); // 204: too many checksum characters; or any unknown state
    }
}

} // namespace qvr
