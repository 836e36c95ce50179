#include "history/HistoryPDFHeader.h"

#include "history/HistoryViewerFile.h"
#include "platform/Files.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string_view>
#include <type_traits>
#include <variant>

namespace velorin {

namespace {

std::string describe(const SettingValue& value)
{
    return std::visit(
        [](const auto& v) -> std::string {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::string>)
                return v;
            else if constexpr (std::is_same_v<T, bool>)
                return v ? "1" : "0";
            else if constexpr (std::is_same_v<T, std::int64_t>)
                return std::to_string(v);
            else if constexpr (std::is_same_v<T, float>) {
                char buffer[64];
                std::snprintf(buffer, sizeof buffer, "%g", static_cast<double>(v));
                return buffer;
            } else if constexpr (std::is_same_v<T, SettingDate>)
                return std::to_string(static_cast<long long>(v.epochSeconds));
            else {
                std::string joined;
                for (const std::string& item : v)
                    joined += (joined.empty() ? "" : ", ") + item;
                return joined;
            }
        },
        value);
}

// Far beyond a name, an age or a weight; a value of megabytes would print pages of header before
// the strip.
constexpr std::size_t longestValue = 200;

std::string storedOr(const SettingsStore& settings, std::string_view key, std::string_view absent)
{
    const auto value = settings.object(key);
    if (!value)
        return std::string(absent);
    std::string text = describe(*value);
    if (text.size() > longestValue) {
        std::size_t cut = longestValue;
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
            --cut;
        text.resize(cut);
        text += "\u2026";
    }
    return text;
}

// The logo's path as the page's engine reads its URL: from the root (a relative one would name a
// host), and with "." and ".." already taken out, since the engine takes them out before it asks
// for the file and only the very path it was allowed is let through.
std::string logoPath(const std::string& documentsDirectory)
{
    const std::filesystem::path logo = historyfile::join(documentsDirectory, "latest_logo.png");
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(logo, error);
    return (error ? logo : absolute).lexically_normal().string();
}

} // namespace

std::string reportDateTime(const std::string& fileName)
{
    std::string stem = historyfile::withoutExtension(fileName);
    for (char& c : stem)
        if (c == '-')
            c = '.';
    const std::size_t underscore = stem.find('_');
    const std::string date = stem.substr(0, underscore);
    if (underscore == std::string::npos)
        return date;
    const std::size_t next = stem.find('_', underscore + 1);
    std::string time = stem.substr(underscore + 1, next == std::string::npos ? std::string::npos : next - underscore - 1);
    // Two colons go in at 2 and then at 5; a shorter piece has no time to show.
    if (time.size() < 4)
        return date;
    time.insert(2, ":");
    time.insert(5, ":");
    return date + " " + time;
}

std::optional<std::int64_t> storedGender(const SettingsStore& settings)
{
    if (!settings.has(keys::Gender))
        return std::nullopt;
    if (const auto number = settings.integer(keys::Gender))
        return *number == 0 ? 0 : 1;
    // A number too large for an integer, or a whole number written as text ("1", " +1", "1.0").
    std::string text = settings.text(keys::Gender).value_or("");
    if (text.empty()) {
        const float stored = settings.floatValue(keys::Gender);
        if (std::isfinite(stored) && std::trunc(stored) == stored && stored != 0.0F)
            return 1;
        return std::nullopt;
    }
    const std::size_t first = text.find_first_not_of(' '), last = text.find_last_not_of(' ');
    if (first == std::string::npos)
        return std::nullopt;
    std::string_view digits = std::string_view(text).substr(first, last - first + 1);
    if (!digits.empty() && (digits.front() == '+' || digits.front() == '-'))
        digits.remove_prefix(1);
    if (const std::size_t dot = digits.find('.'); dot != std::string_view::npos) {
        if (digits.find_first_not_of('0', dot + 1) != std::string_view::npos)
            return std::nullopt;
        digits = digits.substr(0, dot);
    }
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    return digits.find_first_not_of('0') == std::string_view::npos ? 0 : 1;
}

HistoryPDFHeader reportHeader(const SettingsStore& settings, Files& files, const std::string& documentsDirectory,
                              const std::string& fileName)
{
    HistoryPDFHeader header;
    header.name = storedOr(settings, keys::Name, defaults::reportName);
    header.dateTime = reportDateTime(fileName);
    header.age = storedOr(settings, keys::Age, defaults::reportAge);
    if (const auto gender = storedGender(settings))
        header.gender = *gender == 0 ? "Male." : "Female.";
    else
        header.gender = defaults::reportGender;
    header.weight = storedOr(settings, keys::Weight, defaults::reportWeight);
    const std::string logo = logoPath(documentsDirectory);
    if (files.entryInfo(logo).kind == EntryKind::regular)
        header.logo = fileUrl(logo);
    return header;
}

std::string fileUrl(const std::string& path)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string url = "file://";
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        const bool plain = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9') ||
                           std::string_view("/-._~").find(c) != std::string_view::npos;
        if (plain) {
            url += c;
        } else {
            url += '%';
            url += hex[byte >> 4];
            url += hex[byte & 0xF];
        }
    }
    return url;
}

} // namespace velorin
