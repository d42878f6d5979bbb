#pragma once

// A stop asked for by a signal. Once a program catches stop requests, the first SIGINT,
// SIGTERM or SIGHUP only asks it to stop: the signal is recorded, and a read or write of a
// stream that waits (a pipe, socket or terminal) ends at once with StopRequested, wherever its
// thread waits, so the program removes what it began on its normal error path. A second one
// ends the process (see signalcleanup.h). A signal ignored from the start stays ignored.

#include <atomic>

#include "common/error.h"

// Takes the first SIGINT, SIGTERM or SIGHUP as a stop request from now on.
void CatchStopRequests();

// The signal that asked to stop, or 0.
const std::atomic<int>& StopRequest() noexcept;

// Raised where a wait ended because a stop was requested.
class StopRequested : public ZorvantaError {
public:
    explicit StopRequested(int signal) : ZorvantaError("stopped by a signal", ErrorKind::Stopped), signal_(signal) {}
    int signal() const noexcept { return signal_; }

private:
    int signal_;
};

// Raises StopRequested when a stop has been requested.
void ThrowIfStopRequested();

// Held around one call that may wait on a stream without end: it waits until fd is ready for
// events (POLLIN, POLLOUT) and lets a stop request interrupt the call itself (which then fails
// with EINTR). Raises StopRequested when the stop comes first. Does nothing for a file that
// never waits, or where stop requests are not caught.
class StreamWait {
public:
    StreamWait(int fd, short events);
    ~StreamWait() { Leave(); }
    StreamWait(const StreamWait&) = delete;
    StreamWait& operator=(const StreamWait&) = delete;

private:
    void Leave() noexcept;

    int slot_ = -1;
};

// For the signal handler: takes signal as the stop request when stop requests are caught and
// none came before, and wakes every wait. Async-signal-safe.
bool TakeStopRequest(int signal) noexcept;
