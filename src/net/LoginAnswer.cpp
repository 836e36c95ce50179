#include "net/LoginAnswer.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <stdexcept>

namespace velorin {

using nlohmann::json;

namespace {

const json* member(const json& object, const char* name)
{
    const auto it = object.find(name);
    return it == object.end() || it->is_null() ? nullptr : &*it;
}

[[noreturn]] void wrongType(const char* name, const char* expected)
{
    throw std::runtime_error(std::string("the login answer's ") + name + " is not " + expected);
}

std::optional<std::string> text(const json& object, const char* name)
{
    const json* value = member(object, name);
    if (!value)
        return std::nullopt;
    if (!value->is_string())
        wrongType(name, "text");
    return value->get<std::string>();
}

// The text of the top-level member `key` when its value is a number the parser would hold as a
// double (a fraction, an exponent, or an integer beyond 64 bits); a double would lose its digits.
class NumberText : public nlohmann::json_sax<json> {
public:
    explicit NumberText(std::string_view key) : m_key(key) {}
    std::optional<std::string> found;

    bool null() override { return value(); }
    bool boolean(bool) override { return value(); }
    bool number_integer(number_integer_t) override { return value(); }
    bool number_unsigned(number_unsigned_t) override { return value(); }
    bool number_float(number_float_t, const string_t& text) override
    {
        const bool wanted = m_depth == 1 && m_wanted;
        value();
        if (wanted)
            found = text;
        return true;
    }
    bool string(string_t&) override { return value(); }
    bool binary(binary_t&) override { return value(); }
    bool start_object(std::size_t) override
    {
        if (m_depth == 1 && m_wanted)
            found.reset();
        return open();
    }
    bool end_object() override { return close(); }
    bool start_array(std::size_t) override
    {
        if (m_depth == 1 && m_wanted)
            found.reset();
        return open();
    }
    bool end_array() override { return close(); }
    bool key(string_t& name) override
    {
        m_wanted = m_depth == 1 && name == m_key;
        return true;
    }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override { return false; }

private:
    // A later member of the same name replaces an earlier one, as in the parsed object.
    bool value()
    {
        if (m_depth == 1 && m_wanted)
            found.reset();
        if (m_depth == 1)
            m_wanted = false;
        return true;
    }
    bool open()
    {
        ++m_depth;
        return true;
    }
    bool close()
    {
        --m_depth;
        return value();
    }
    std::string_view m_key;
    int m_depth = 0;
    bool m_wanted = false;
};

// A whole number written as such ("-12", "12.000") is an integer when it fits 64 bits; anything
// else keeps the server's text, digit for digit.
SettingValue identifierFromText(const std::string& text)
{
    const std::size_t end = text.find_first_of(".eE");
    const bool plainFraction = end == std::string::npos ||
                               (text[end] == '.' && text.find_first_not_of('0', end + 1) == std::string::npos &&
                                end + 1 < text.size());
    std::int64_t whole = 0;
    const char* last = text.data() + (end == std::string::npos ? text.size() : end);
    if (plainFraction) {
        const auto [at, error] = std::from_chars(text.data(), last, whole);
        if (error == std::errc() && at == last)
            return whole;
    }
    return text;
}

// Integers keep their type; any other number keeps its exact digits as text rather than become a
// float that would name another patient.
SettingValue identifier(const json& value, const std::optional<std::string>& written)
{
    constexpr auto largest = std::numeric_limits<std::int64_t>::max();
    if (value.is_number_integer() && !value.is_number_unsigned())
        return value.get<std::int64_t>();
    if (value.is_number_unsigned() && value.get<std::uint64_t>() <= static_cast<std::uint64_t>(largest))
        return static_cast<std::int64_t>(value.get<std::uint64_t>());
    if (written)
        return identifierFromText(*written);
    if (value.is_number_float()) {
        const double d = value.get<double>();
        // 2^63 is exact in a double; everything below it in magnitude fits.
        if (std::trunc(d) == d && std::fabs(d) < 9223372036854775808.0)
            return static_cast<std::int64_t>(d);
    }
    return value.dump();
}

} // namespace

LoginAnswer LoginAnswer::read(const json& object, std::string_view body)
{
    LoginAnswer answer;
    answer.statusMessage = text(object, "StatusMessage");
    if (const json* id = member(object, "Id")) {
        if (id->is_string())
            answer.id = id->get<std::string>();
        else if (id->is_number()) {
            NumberText written("Id");
            if (!body.empty())
                json::sax_parse(body, &written);
            answer.id = identifier(*id, written.found);
        }
        else
            wrongType("Id", "text or a number");
    }
    answer.token = text(object, "Token");
    if (const json* servers = member(object, "FileServers")) {
        if (!servers->is_array())
            wrongType("FileServers", "an array of text");
        if (servers->size() > maxFileServers)
            throw std::runtime_error("the login answer's FileServers holds more than " +
                                     std::to_string(maxFileServers) + " addresses");
        std::vector<std::string> list;
        list.reserve(servers->size());
        for (const json& address : *servers) {
            if (!address.is_string())
                wrongType("FileServers", "an array of text");
            list.push_back(address.get<std::string>());
        }
        answer.fileServers = std::move(list);
    }
    answer.collectionServer = text(object, "CollectionServer");
    answer.vuApiKey = text(object, "VUApiKey");
    return answer;
}

} // namespace velorin
