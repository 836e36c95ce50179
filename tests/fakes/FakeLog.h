#pragma once

#include "platform/Log.h"

#include <algorithm>
#include <string>
#include <vector>

namespace velorin {

class FakeLog : public Log {
public:
    void line(std::string_view text) override { lines.emplace_back(text); }
    bool contains(std::string_view fragment) const
    {
        return std::any_of(lines.begin(), lines.end(),
                           [&](const std::string& l) { return l.find(fragment) != std::string::npos; });
    }
    std::vector<std::string> lines;
};

} // namespace velorin
