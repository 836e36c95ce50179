#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace velorin {

// Where the login form goes, and where uploads and events go while no server address is stored.
struct Endpoints {
    std::string login;
    std::string collection;

    // From the hosts the build was configured with (VELORIN_LOGIN_HOST, VELORIN_COLLECTION_HOST);
    // both default to this machine, so that no build sends anything elsewhere unless told to.
    static Endpoints builtIn();
};

// True when the text begins with "http://" or "https://" (the scheme in any case).
bool hasHttpScheme(std::string_view text);

// Why the text is not a whole http or https URL that can be sent to (a host, a port from 1 to 65535
// when one is given, a path of URL characters with well-formed %-escapes); nothing when it is one.
std::optional<std::string> httpUrlProblem(std::string_view url);

// A stored server address (a file server, the marked-event server) as the URL to post to: servers
// hand out addresses without a scheme, so "http://" goes before one that names none.
std::string serverUrl(std::string_view address);

} // namespace velorin
