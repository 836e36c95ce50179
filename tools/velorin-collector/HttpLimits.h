#pragma once

#include <chrono>
#include <cstddef>

namespace velorin {

// What one connection may cost the server. Every request is read against a deadline and into bounded
// memory, whatever its framing, so slow, idle or endless clients cost their own connection only.
struct HttpLimits {
    // The request line and the header fields together; real clients send well under 1 KiB.
    std::size_t headBytes = std::size_t{16} << 10;
    std::size_t headFields = 100;

    // Bodies above largeBodyBytes (and those of unknown length) are read at most largeBodySeats at a
    // time: while in hand, a body costs several times its size.
    std::size_t largeBodyBytes = std::size_t{1} << 20;
    std::size_t largeBodySeats = 2;

    // A connection has headTime to start and finish a request's head (so an idle one is closed after
    // it), then bodyTime for the body and answerTime to take the answer.
    std::chrono::milliseconds headTime{5000};
    std::chrono::milliseconds bodyTime{10000};
    std::chrono::milliseconds answerTime{10000};

    // A refused body is read and thrown away for a while before the connection is closed: a client
    // that sends its whole body before it reads (as most do) gets the answer rather than a reset.
    std::size_t drainBytes = std::size_t{17} << 20;
    std::chrono::milliseconds drainTime{2000};

    // How long a stop waits for answers already on their way before it closes everything.
    std::chrono::milliseconds stopGrace{1000};
};

} // namespace velorin
