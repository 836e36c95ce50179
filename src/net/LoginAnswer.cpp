#include "net/LoginAnswer.h"

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

// Integers keep their type; any other number keeps its exact digits as text rather than become a
// float that would name another patient.
SettingValue identifier(const json& value)
{
    constexpr auto largest = std::numeric_limits<std::int64_t>::max();
    if (value.is_number_integer() && !value.is_number_unsigned())
        return value.get<std::int64_t>();
    if (value.is_number_unsigned() && value.get<std::uint64_t>() <= static_cast<std::uint64_t>(largest))
        return static_cast<std::int64_t>(value.get<std::uint64_t>());
    if (value.is_number_float()) {
        const double d = value.get<double>();
        // 2^63 is exact in a double; everything below it in magnitude fits.
        if (std::trunc(d) == d && std::fabs(d) < 9223372036854775808.0)
            return static_cast<std::int64_t>(d);
    }
    return value.dump();
}

} // namespace

LoginAnswer LoginAnswer::read(const json& object)
{
    LoginAnswer answer;
    answer.statusMessage = text(object, "StatusMessage");
    if (const json* id = member(object, "Id")) {
        if (id->is_string())
            answer.id = id->get<std::string>();
        else if (id->is_number())
            answer.id = identifier(*id);
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
