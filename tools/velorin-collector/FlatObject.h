#pragma once

#include <nlohmann/json.hpp>

#include <span>
#include <string>
#include <string_view>

namespace velorin {

// One JSON object whose members are all known names, each given once, none an object or an array.
struct FlatObject {
    nlohmann::ordered_json value;
    std::string problem; // why the text is no such object; empty when it is one
};

// Reads text as a FlatObject with nlohmann's SAX parser, which stops at the first member that is
// wrong. A nesting is refused where it opens, so however deep it goes it costs no more memory than
// the text itself.
FlatObject parseFlatObject(std::string_view text, std::span<const std::string_view> known);

} // namespace velorin
