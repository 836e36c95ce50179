#pragma once

#include <string>
#include <string_view>

namespace velorin {

// A call of a page function as script text. Every argument is a JavaScript literal, never spliced
// in as it is: a file's text or a profile value that holds quotes, backslashes, line breaks or
// "</script>" stays a value and runs nothing.
class ScriptCall {
public:
    explicit ScriptCall(std::string_view function);

    // A string literal: JSON encoding, bytes that are not UTF-8 replaced by U+FFFD, and "</",
    // U+2028 and U+2029 escaped too, since those end a script element or a line in older engines.
    ScriptCall& text(std::string_view value);
    // A number literal with six decimals; a value that is not finite becomes 0.
    ScriptCall& number(double value);

    std::string str() const;

private:
    void separate();

    std::string m_script;
    bool m_first = true;
};

// The string literal of text, as ScriptCall::text writes it.
std::string scriptString(std::string_view text);

} // namespace velorin
