#include "net/Endpoints.h"

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

std::string serverUrl(std::string_view address)
{
    return hasHttpScheme(address) ? std::string(address) : "http://" + std::string(address);
}

} // namespace velorin
