#pragma once

#include <cstddef>
#include <functional>
#include <mutex>
#include <string>

namespace velorin {

class Clock;

// What the user reads beside the upload icon: how the latest upload went ("sent 14:32", "offline",
// "server error", "server not reached") and how many recordings wait in the Buffer ("3 waiting").
// Told from the Bluetooth queue and from the completions' threads.
class UploadStatus {
public:
    // Called with the new text whenever it changes, and whether the latest upload got through; under
    // the status's lock, so texts arrive in order. Must only post the work elsewhere.
    using Publish = std::function<void(const std::string& text, bool delivered)>;

    UploadStatus(const Clock& clock, Publish publish);

    // A chunk was kept because the network is unreachable.
    void offline();
    // The server took an upload.
    void accepted();
    // An upload did not get through: answered says the server answered (and refused or sent nothing),
    // otherwise it was not reached.
    void failed(bool answered);
    // The Buffer holds this many recordings (from a listing), one more, or one fewer.
    void setWaiting(std::size_t count);
    void kept();
    void sent();

    std::string text() const;

private:
    void changed();

    const Clock& m_clock;
    Publish m_publish;
    mutable std::mutex m_mutex;
    std::string m_latest; // how the latest upload went; empty before the first
    bool m_delivered = false;
    std::size_t m_waiting = 0;
    std::string m_shown;
};

} // namespace velorin
