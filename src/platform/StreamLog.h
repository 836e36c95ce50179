#pragma once

#include "platform/Log.h"

#include <cstdio>
#include <mutex>

namespace velorin {

// The diagnostic log on a stdio stream (stderr for the recorder), one line per event.
class StreamLog : public Log {
public:
    explicit StreamLog(std::FILE* out) : m_out(out) {}
    void line(std::string_view text) override
    {
        std::lock_guard lock(m_mutex);
        std::fwrite(text.data(), 1, text.size(), m_out);
        std::fputc('\n', m_out);
        std::fflush(m_out);
    }

private:
    std::FILE* m_out;
    std::mutex m_mutex;
};

} // namespace velorin
