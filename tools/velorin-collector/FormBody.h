#pragma once

#include <map>
#include <string>
#include <string_view>

namespace velorin {

// The fields of an application/x-www-form-urlencoded body ("Username=ana&Password=a%26b").
struct FormBody {
    std::map<std::string, std::string> fields;
    std::string error; // why the body is no form; empty when it is one

    bool ok() const { return error.empty(); }
};

// Splits at "&" and at the first "=" of each pair, then percent-decodes names and values ("+" is a
// space). A broken escape or a field given twice makes the whole body unusable: guessing which of two
// passwords was meant would let a malformed login succeed.
FormBody parseFormBody(std::string_view body);

} // namespace velorin
