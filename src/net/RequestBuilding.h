#pragma once

#include "net/HttpClient.h"
#include "net/Location.h"

#include <optional>
#include <string>
#include <string_view>

namespace velorin {

// Uploads and events give up on a server that has not answered within a minute.
inline constexpr Nanoseconds requestTimeout = std::chrono::seconds(60);

// "<latitude>_<longitude>" with six decimals each; 0.000000_0.000000 while no position is known.
std::string positionText(const std::optional<Coordinate>& position);

// "<chunk stamp>_<position>.ecg" with every ":" taken out.
std::string uploadFileName(std::string_view chunkStamp, const std::optional<Coordinate>& position);

// A POST of UTF-8 JSON text.
HttpRequest jsonPost(std::string url, std::string body);

// {"token":...,"fileName":...,"baseData":<standard Base64 of the bytes>}
HttpRequest uploadRequest(std::string url, std::string_view token, std::string_view fileName, std::string_view bytes);

// {"VUApiKey":...,"Activity":...,"PatientId":...,"Date":...}; PatientId only when there is one.
std::string eventBody(std::string_view key, std::string_view activity, const std::optional<std::string>& patientId,
                      std::string_view date);

// Why an exchange did not deliver: the transfer error, else the status.
std::string failureText(const HttpResponse& response);

} // namespace velorin
