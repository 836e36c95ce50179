#pragma once

#include <string>

namespace velorin {

// A silent sound whose playing keeps the process from being put to sleep. Main queue.
class SilentSound {
public:
    virtual ~SilentSound() = default;
    // Plays the sound once from the start; returns why it cannot (no audio output, no sound file),
    // empty when it plays.
    virtual std::string play() = 0;
};

} // namespace velorin
