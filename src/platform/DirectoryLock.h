#pragma once

#include <string>

namespace velorin {

// One recorder per documents directory: an advisory lock (flock) on a file in it, held for as long
// as this object lives and let go by the kernel should the process die. Two recorders on one
// directory would otherwise overwrite each other's chunks.
class DirectoryLock {
public:
    enum class State {
        held,        // this process holds the lock
        busy,        // another process holds it: holder() tells which
        readOnly,    // the directory takes no lock file, and no recorder can write in it either
        unavailable  // something else stands under the lock file's name; problem() tells what
    };

    static constexpr const char* fileName = ".velorin.lock";

    explicit DirectoryLock(const std::string& directory);
    ~DirectoryLock();
    DirectoryLock(const DirectoryLock&) = delete;
    DirectoryLock& operator=(const DirectoryLock&) = delete;

    State state() const { return m_state; }
    // The process id the holder wrote into the lock file; 0 when it cannot be read.
    long holder() const { return m_holder; }
    const std::string& problem() const { return m_problem; }

private:
    int m_fd = -1;
    State m_state = State::unavailable;
    long m_holder = 0;
    std::string m_problem;
};

} // namespace velorin
