// The link's own time per frame against the frame's time on the wire: completing frames
// and parsing received ones, with a plain byte-sum loop over the same bytes as reference.
#include "bus/Frame.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QStringList>
#include <cstdio>

using namespace qvr;

namespace {

QByteArray makeTraffic(int frames, QStringList *texts)
{
    QRandomGenerator rng(99);
    QByteArray bytes;
    for (int i = 0; i < frames; ++i) {
        QString text = QStringLiteral("::017:LCDRH ");
        for (int k = 0; k < 110; ++k)
            text += QChar(char('0' + rng.bounded(10)));
        texts->append(text);
        bytes += FrameBytes(CompleteFrame(text));
        if (i % 10 == 0)
            bytes += "noise\n";
    }
    return bytes;
}

} // namespace

int main()
{
    constexpr int kFrames = 20000;
    constexpr int kRounds = 5;
    QStringList texts;
    const QByteArray traffic = makeTraffic(kFrames, &texts);

    // Reference: the cheapest possible pass over the same bytes.
    QElapsedTimer t;
    volatile unsigned sink = 0;
    t.start();
    for (int r = 0; r < kRounds; ++r) {
        unsigned sum = 0;
        for (char c : traffic)
            sum += static_cast<unsigned char>(c);
        sink = sink + sum;
    }
    const double referenceNs = double(t.nsecsElapsed());

    int delivered = 0;
    t.restart();
    for (int r = 0; r < kRounds; ++r) {
        RxParser parser;
        for (char c : traffic) {
            parser.ParseRxChar(static_cast<unsigned char>(c));
            if (parser.gRxFrameComplete == 1) {
                ++delivered;
                parser.reset();
            }
        }
    }
    const double parseNs = double(t.nsecsElapsed());

    t.restart();
    qsizetype completed = 0;
    for (int r = 0; r < kRounds; ++r)
        for (const QString &text : texts)
            completed += CompleteFrame(text).size();
    const double completeNs = double(t.nsecsElapsed());

    const double chars = double(traffic.size()) * kRounds;
    // 10 bits per character at 7E1.
    const double wireNs57600 = chars * 10.0 / 57600.0 * 1e9;
    std::printf("frames delivered: %d of %d\n", delivered, kFrames * kRounds);
    std::printf("parser: %.1f ns per character, %.1fx the byte-sum reference\n", parseNs / chars,
                parseNs / referenceNs);
    std::printf("parser share of the wire time at 57600 baud: %.4f%%\n",
                100.0 * parseNs / wireNs57600);
    std::printf("frame completion share of the wire time at 57600 baud: %.4f%% (%lld characters)\n",
                100.0 * completeNs / wireNs57600, static_cast<long long>(completed));
    return delivered == kFrames * kRounds ? 0 : 1;
}
