#include "FormBody.h"
#include "platform/HexDigit.h"

#include <optional>

namespace velorin {

namespace {

std::optional<std::string> percentDecode(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%') {
            if (i + 2 >= text.size())
                return std::nullopt;
            const int high = hexDigitValue(text[i + 1]);
            const int low = hexDigitValue(text[i + 2]);
            if (high < 0 || low < 0)
                return std::nullopt;
            out += static_cast<char>(high << 4 | low);
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace

FormBody parseFormBody(std::string_view body)
{
    FormBody form;
    std::size_t start = 0;
    while (start <= body.size()) {
        std::size_t end = body.find('&', start);
        if (end == std::string_view::npos)
            end = body.size();
        const std::string_view pair = body.substr(start, end - start);
        start = end + 1;
        if (pair.empty())
            continue;
        const std::size_t equals = pair.find('=');
        const std::optional<std::string> name = percentDecode(pair.substr(0, equals));
        const std::optional<std::string> value =
            equals == std::string_view::npos ? std::string() : percentDecode(pair.substr(equals + 1));
        if (!name || !value) {
            form.error = "a broken percent escape in the form";
            return form;
        }
        if (!form.fields.emplace(*name, *value).second) {
            form.error = "the form field \"" + *name + "\" is given twice";
            return form;
        }
    }
    return form;
}

} // namespace velorin
