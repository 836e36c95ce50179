#pragma once

#include "platform/EscapedText.h"
#include "platform/Log.h"

#include <cstdio>
#include <mutex>

namespace velorin {

// The diagnostic log on a stdio stream (stderr for the recorder), one line per event, with control
// bytes from inputs shown escaped.
class StreamLog : public Log {
public:
    explicit StreamLog(std::FILE* out) : m_out(out) {}
    void line(std::string_view text) override
    {
        // With its end in one write: on an unbuffered stream (stderr) that is one system call a line.
        std::string shown = escapeControl(text);
        shown += '\n';
        std::lock_guard lock(m_mutex);
        std::fwrite(shown.data(), 1, shown.size(), m_out);
        std::fflush(m_out);
    }

private:
    std::FILE* m_out;
    std::mutex m_mutex;
};

} // namespace velorin
