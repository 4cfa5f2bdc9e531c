#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

namespace qvr {

// The receive parser: assembles received characters into frames, one call per character.
// It keeps the parser state and the fields of the frame being received; when a frame is
// accepted, gRxFrameComplete becomes 1 and the fields hold it until the parser is reset.
//
// States: 0 idle, 1 after ":", 2-4 address digits, 5 after the address, 6-11 command,
// 12-199 parameters, 200-203 checksum characters, 204 too many checksum characters.
class RxParser
{
public:
    // Called with every received line (the characters since the previous LF, up to and
    // including the LF) so the link can log it. A line that grows past kMaxLogLine without
    // an LF is handed over in pieces, so endless data without LF cannot grow memory.
    using LogSink = std::function<void(const QString &line)>;
    static constexpr int kMaxLogLine = 4096;
    static constexpr int kCommandLength = 5;

    void setLogSink(LogSink sink) { m_logSink = std::move(sink); }

    // Feeds one received character (a byte; ch is its code 0 to 255).
    void ParseRxChar(unsigned char ch);

    // Ready for the next frame: state 0, no complete frame.
    void reset()
    {
        gRxState = 0;
        gRxFrameComplete = 0;
        m_candidate.resize(0);
        m_rescanFrom = 1;
    }

    qint16 gRxState = 0;
    qint16 gRxFrameComplete = 0;
    qint16 gRxSum = 0;
    qint16 gRxKind = 0;    // 0 for an answer ":", 1 for a request ";"
    qint16 gRxAddress = 0; // 0 to 299
    QString gRxCommand = QString(kCommandLength, QLatin1Char(' '));
    QString gRxParam;
    QString gRxLogLine;

private:
    // One step of the state machine; false when the character ends the frame being
    // received as broken.
    bool step(unsigned char ch);
    void startIdle(unsigned char ch);
    bool addToSum(unsigned char ch);
    void endOfFrame();

    LogSink m_logSink;
    // The characters of the frame being received, from its ":" on. When the frame breaks,
    // the next ":" among them may start a valid frame: they are parsed again from there.
    QByteArray m_candidate;
    // Where in m_candidate to look for that ":": after its own first character, or from
    // the start when the characters follow a complete frame nobody took.
    qsizetype m_rescanFrom = 1;
};

} // namespace qvr
