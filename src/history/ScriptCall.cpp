#include "history/ScriptCall.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdio>

namespace velorin {

std::string scriptString(std::string_view text)
{
    const std::string json = nlohmann::json(std::string(text)).dump(-1, ' ', false,
                                                                    nlohmann::json::error_handler_t::replace);
    std::string out;
    out.reserve(json.size() + 8);
    for (std::size_t i = 0; i < json.size(); ++i) {
        const char c = json[i];
        if (c == '<' && i + 1 < json.size() && json[i + 1] == '/') {
            out += "<\\/";
            ++i;
        } else if (c == '\xE2' && i + 2 < json.size() && json[i + 1] == '\x80' &&
                   (json[i + 2] == '\xA8' || json[i + 2] == '\xA9')) {
            out += json[i + 2] == '\xA8' ? "\\u2028" : "\\u2029";
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

ScriptCall::ScriptCall(std::string_view function) : m_script(function)
{
    m_script += '(';
}

void ScriptCall::separate()
{
    if (!m_first)
        m_script += ',';
    m_first = false;
}

ScriptCall& ScriptCall::text(std::string_view value)
{
    separate();
    m_script += scriptString(value);
    return *this;
}

ScriptCall& ScriptCall::number(double value)
{
    separate();
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, "%f", std::isfinite(value) ? value : 0.0);
    m_script += buffer;
    return *this;
}

std::string ScriptCall::str() const
{
    return m_script + ')';
}

} // namespace velorin
