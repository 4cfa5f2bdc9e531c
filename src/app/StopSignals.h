#pragma once

#include <QObject>
#include <functional>
#include <memory>

namespace qvr {

// Turns SIGINT and SIGTERM (in a Windows console: Ctrl-C and Ctrl-Break) into a call on
// the event loop, so the program can end what it is doing before it goes. While an object
// lives these signals no longer end the program (a signal the program was started with
// ignored stays ignored). One object at a time.
//
// Windows: closing the console window, logging off and shutting down still end the
// program at once (their handler would have to finish within the system's few seconds).
class StopSignals : public QObject
{
public:
    explicit StopSignals(std::function<void(int signal)> onStop);
    ~StopSignals() override;
    StopSignals(const StopSignals &) = delete;
    StopSignals &operator=(const StopSignals &) = delete;

    // The first signal that arrived (SIGINT, SIGTERM), 0 while none did. A signal is seen
    // when events are processed.
    int received() const { return m_received; }

    // What a signal does, on the event loop: remembered, then the handler is called.
    void deliver(int signal);

private:
    struct Platform;
    std::function<void(int)> m_onStop;
    int m_received = 0;
    std::unique_ptr<Platform> m_platform;
};

} // namespace qvr
