#include "FlatObject.h"

#include <algorithm>

namespace velorin {

namespace {

using Json = nlohmann::ordered_json;

// Every refusal returns false, which ends the parse there. A value that is not text is kept: the
// caller names the member it belongs to.
class FlatObjectReader : public nlohmann::json_sax<Json> {
public:
    FlatObjectReader(FlatObject& result, std::span<const std::string_view> known) : m_result(result), m_known(known) {}

    bool null() override { return keep(nullptr); }
    bool boolean(bool value) override { return keep(value); }
    bool number_integer(number_integer_t value) override { return keep(value); }
    bool number_unsigned(number_unsigned_t value) override { return keep(value); }
    bool number_float(number_float_t value, const string_t&) override { return keep(value); }
    bool string(string_t& value) override { return keep(std::move(value)); }
    bool binary(binary_t&) override { return refuse("the body is not valid JSON"); }

    bool start_object(std::size_t) override
    {
        if (m_depth++ > 0)
            return refuse("a member is an object or an array");
        m_result.value = Json::object();
        return true;
    }
    bool end_object() override
    {
        --m_depth;
        return true;
    }
    bool start_array(std::size_t) override
    {
        return refuse(m_depth == 0 ? "the body is not a JSON object" : "a member is an object or an array");
    }
    bool end_array() override { return true; } // never reached: every array is refused where it starts

    bool key(string_t& name) override
    {
        if (std::find(m_known.begin(), m_known.end(), name) == m_known.end())
            return refuse("unexpected member \"" + name.substr(0, 40) + "\"");
        if (m_result.value.contains(name))
            return refuse("the member \"" + name + "\" is given twice");
        m_key = std::move(name);
        return true;
    }

    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override
    {
        return refuse("the body is not valid JSON");
    }

private:
    template <typename Value> bool keep(Value&& value)
    {
        if (m_depth == 0) // a lone value: no object, unless the text goes on and is no JSON at all
            m_result.value = std::forward<Value>(value);
        else
            m_result.value[m_key] = std::forward<Value>(value);
        return true;
    }
    bool refuse(std::string problem)
    {
        m_result.problem = std::move(problem);
        return false;
    }

    FlatObject& m_result;
    std::span<const std::string_view> m_known;
    std::string m_key;
    int m_depth = 0;
};

} // namespace

FlatObject parseFlatObject(std::string_view text, std::span<const std::string_view> known)
{
    FlatObject result;
    FlatObjectReader reader(result, known);
    if (Json::sax_parse(text.begin(), text.end(), &reader) && !result.value.is_object())
        result.problem = "the body is not a JSON object";
    if (!result.problem.empty())
        result.value = Json();
    return result;
}

} // namespace velorin
