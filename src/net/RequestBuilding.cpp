#include "net/RequestBuilding.h"

#include "net/Base64.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <charconv>
#include <cmath>

namespace velorin {

namespace {

// Fixed six decimals whatever the process locale: a Qt application takes LC_NUMERIC from the
// environment, and a decimal comma would change the names the server files uploads under.
std::string sixDecimals(double value)
{
    char text[400];
    const auto [end, error] = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 6);
    return error == std::errc{} ? std::string(text, end) : std::string("0.000000");
}

std::string compact(const nlohmann::ordered_json& document)
{
    // Texts that are not UTF-8 are sent with replacement characters rather than not at all.
    return document.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

} // namespace

std::string positionText(const std::optional<Coordinate>& position)
{
    // A position that is not a number is no position.
    if (!position || !std::isfinite(position->latitude) || !std::isfinite(position->longitude))
        return "0.000000_0.000000";
    return sixDecimals(position->latitude) + "_" + sixDecimals(position->longitude);
}

std::string uploadFileName(std::string_view chunkStamp, const std::optional<Coordinate>& position)
{
    std::string name = std::string(chunkStamp) + "_" + positionText(position) + ".ecg";
    name.erase(std::remove(name.begin(), name.end(), ':'), name.end());
    return name;
}

HttpRequest jsonPost(std::string url, std::string body)
{
    HttpRequest request;
    request.method = "POST";
    request.url = std::move(url);
    request.headers = {{"Content-Type", "application/json; charset=utf-8"}};
    request.body = std::move(body);
    request.timeout = requestTimeout;
    return request;
}

HttpRequest uploadRequest(std::string url, std::string_view token, std::string_view fileName, std::string_view bytes)
{
    nlohmann::ordered_json head;
    head["token"] = token;
    head["fileName"] = fileName;
    // Base64 needs no escaping: it goes in as it is, not through the serializer one character at a time.
    std::string body = compact(head);
    body.pop_back();
    body += R"(,"baseData":")";
    body += encodeBase64(bytes);
    body += R"("})";
    return jsonPost(std::move(url), std::move(body));
}

std::string eventBody(std::string_view key, std::string_view activity, const std::optional<std::string>& patientId,
                      std::string_view date)
{
    nlohmann::ordered_json body;
    body["VUApiKey"] = key;
    body["Activity"] = activity;
    if (patientId)
        body["PatientId"] = *patientId;
    body["Date"] = date;
    return compact(body);
}

std::string failureText(const HttpResponse& response)
{
    if (!response.error.empty())
        return response.error;
    if (response.status == 0)
        return "no answer";
    return "HTTP status " + std::to_string(response.status);
}

} // namespace velorin
