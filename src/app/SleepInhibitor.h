#pragma once

#include <functional>
#include <string>

namespace velorin {

// A lock that keeps the computer from sleeping while it is held. Main queue.
class SleepInhibitor {
public:
    // Empty when the lock was taken, else why it was refused. Arrives on the main queue, never
    // inside acquire().
    using Outcome = std::function<void(const std::string& refusal)>;
    virtual ~SleepInhibitor() = default;
    // Asks for the lock. At most one request or lock at a time: the caller releases before asking again.
    virtual void acquire(Outcome outcome) = 0;
    // Lets go of the lock, or abandons a request still under way: its outcome never arrives and the
    // lock it may still bring is let go at once. Does nothing when neither is there.
    virtual void release() = 0;
};

} // namespace velorin
