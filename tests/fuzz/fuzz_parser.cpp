// Any byte sequence through the receive parser: no crash, no unbounded growth, and every
// delivered frame has fields a frame can have.
#include "bus/RxParser.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    qvr::RxParser parser;
    qsizetype logged = 0;
    parser.setLogSink([&](const QString &line) { logged += line.size(); });
    for (size_t i = 0; i < size; ++i) {
        parser.ParseRxChar(data[i]);
        const bool sane = parser.gRxState >= 0 && parser.gRxState <= 204 &&
                          parser.gRxCommand.size() == qvr::RxParser::kCommandLength &&
                          parser.gRxParam.size() <= 188 &&
                          parser.gRxLogLine.size() < qvr::RxParser::kMaxLogLine &&
                          parser.gRxAddress >= 0 && parser.gRxAddress <= 299;
        if (!sane)
            std::abort();
        if (parser.gRxFrameComplete == 1) {
            // Only an LF completes a frame.
            if (data[i] != '\n' || parser.gRxState < 200 || parser.gRxState > 203)
                std::abort();
            parser.reset();
        }
    }
    if (logged + parser.gRxLogLine.size() != qsizetype(size))
        std::abort();
    return 0;
}
