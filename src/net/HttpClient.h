#pragma once

#include "platform/Seconds.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace velorin {

struct HttpRequest {
    std::string method = "POST";
    std::string url;
    std::vector<std::pair<std::string, std::string>> headers; // in the order they are set
    std::string body;
    // The whole exchange, from sending to the last byte of the answer.
    Nanoseconds timeout = std::chrono::seconds(60);
};

struct HttpResponse {
    int status = 0;    // 0 when no answer came
    std::string body;  // possibly empty
    std::string error; // empty when the transfer itself succeeded (whatever the status)
    bool transferred() const { return error.empty() && status != 0; }
    bool success() const { return transferred() && status >= 200 && status <= 299; }
};

// Plain HTTP. Redirects are not followed (a redirect is an answer outside 200 to 299), and an answer
// larger than the client's limit ends as an error without its body.
class HttpClient {
public:
    using Completion = std::function<void(HttpResponse)>;
    virtual ~HttpClient() = default;
    // Returns at once. The completion runs exactly once, on a background thread: never on the main
    // queue or the Bluetooth queue, and never inside send().
    virtual void send(HttpRequest request, Completion completion) = 0;
    // Waits for the answer on the calling thread, which must not be the main queue.
    virtual HttpResponse sendBlocking(const HttpRequest& request) = 0;
    // Requests sent and not yet completed.
    virtual int openRequests() const = 0;
};

} // namespace velorin
