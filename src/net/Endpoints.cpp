#include "net/Endpoints.h"

#include "platform/HexDigit.h"

#include <algorithm>

#ifndef VELORIN_LOGIN_HOST
#error "VELORIN_LOGIN_HOST is set by the build"
#endif
#ifndef VELORIN_COLLECTION_HOST
#error "VELORIN_COLLECTION_HOST is set by the build"
#endif

namespace velorin {

Endpoints Endpoints::builtIn()
{
    return {std::string("http://") + VELORIN_LOGIN_HOST + "/api/login",
            std::string("http://") + VELORIN_COLLECTION_HOST + ":92/Ecg/WriteTicksBase"};
}

namespace {

// ASCII only: the locale (which Qt sets from the environment) must not change what a scheme is.
char asciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool startsWithNoCase(std::string_view text, std::string_view lowerPrefix)
{
    return text.size() >= lowerPrefix.size() &&
           std::equal(lowerPrefix.begin(), lowerPrefix.end(), text.begin(),
                      [](char p, char t) { return p == asciiLower(t); });
}

} // namespace

bool hasHttpScheme(std::string_view text)
{
    return startsWithNoCase(text, "http://") || startsWithNoCase(text, "https://");
}

namespace {

bool isAlnum(char c)
{
    return (c >= '0' && c <= '9') || (asciiLower(c) >= 'a' && asciiLower(c) <= 'z');
}

// The characters a URL's path, query and fragment may hold as they are (RFC 3986), '%' aside.
bool isPathCharacter(char c)
{
    return isAlnum(c) || std::string_view("-._~!$&'()*+,;=:@/?#").find(c) != std::string_view::npos;
}

} // namespace

std::optional<std::string> httpUrlProblem(std::string_view url)
{
    if (!hasHttpScheme(url))
        return "it does not begin with http:// or https://";
    std::string_view rest = url.substr(url.find("://") + 3);
    const std::size_t authorityEnd = rest.find_first_of("/?#");
    const std::string_view authority = rest.substr(0, authorityEnd);
    const std::string_view path = authorityEnd == std::string_view::npos ? std::string_view() : rest.substr(authorityEnd);
    if (authority.find('@') != std::string_view::npos)
        return "it holds a user name";
    std::string_view host = authority;
    std::string_view port;
    if (!host.empty() && host.front() == '[') {
        const std::size_t close = host.find(']');
        if (close == std::string_view::npos || close == 1)
            return "its IPv6 host is not closed with ]";
        for (const char c : host.substr(1, close - 1))
            if (hexDigitValue(c) < 0 && c != ':' && c != '.')
                return "its IPv6 host is not an address";
        port = host.substr(close + 1);
        host = host.substr(0, close + 1);
        if (!port.empty() && port.front() != ':')
            return "something follows its IPv6 host";
    } else if (const std::size_t colon = host.rfind(':'); colon != std::string_view::npos) {
        port = host.substr(colon);
        host = host.substr(0, colon);
    }
    if (host.empty())
        return "it names no host";
    if (host.front() != '[') {
        // Labels of letters, digits and inner hyphens, 1 to 63 bytes each, 253 in all: what a
        // resolver takes (a last dot aside).
        if (host.back() == '.')
            host.remove_suffix(1);
        if (host.empty() || host.size() > 253)
            return "its host is not a host name or address";
        for (std::size_t from = 0; from <= host.size();) {
            const std::size_t dot = std::min(host.find('.', from), host.size());
            const std::string_view label = host.substr(from, dot - from);
            if (label.empty() || label.size() > 63 || label.front() == '-' || label.back() == '-' ||
                !std::all_of(label.begin(), label.end(), [](char c) { return isAlnum(c) || c == '-'; }))
                return "its host is not a host name or address";
            from = dot + 1;
        }
    }
    if (!port.empty()) {
        port.remove_prefix(1);
        if (port.empty() || port.size() > 5 ||
            !std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; }) ||
            std::stoi(std::string(port)) < 1 || std::stoi(std::string(port)) > 65535)
            return "its port is not a number from 1 to 65535";
    }
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (path[i] == '%') {
            if (i + 2 >= path.size() || hexDigitValue(path[i + 1]) < 0 || hexDigitValue(path[i + 2]) < 0)
                return "its path holds a % that is not followed by two hexadecimal digits";
            i += 2;
        } else if (!isPathCharacter(path[i])) {
            return "its path holds a character a URL cannot (a space, a control byte, a non-ASCII byte)";
        }
    }
    return std::nullopt;
}

std::string serverUrl(std::string_view address)
{
    return hasHttpScheme(address) ? std::string(address) : "http://" + std::string(address);
}

} // namespace velorin
