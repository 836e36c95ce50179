#pragma once

#include "net/HttpClient.h"

#include <deque>
#include <string>
#include <vector>

namespace velorin {

// Records requests; the test answers each one when it likes, on its own thread.
class FakeHttp : public HttpClient {
public:
    struct Sent {
        HttpRequest request;
        Completion completion;
        bool answered = false;
    };

    void send(HttpRequest request, Completion completion) override
    {
        sent.push_back(Sent{std::move(request), std::move(completion)});
    }
    HttpResponse sendBlocking(const HttpRequest&) override { return {}; }
    int openRequests() const override
    {
        int open = 0;
        for (const Sent& s : sent)
            open += s.answered ? 0 : 1;
        return open;
    }

    void answer(std::size_t index, int status, std::string body = {}, std::string error = {})
    {
        Sent& s = sent.at(index);
        s.answered = true;
        Completion completion = std::move(s.completion);
        completion(HttpResponse{status, std::move(body), std::move(error)});
    }
    // Indices of the requests not answered yet, oldest first.
    std::vector<std::size_t> open() const
    {
        std::vector<std::size_t> indices;
        for (std::size_t i = 0; i < sent.size(); ++i)
            if (!sent[i].answered)
                indices.push_back(i);
        return indices;
    }

    std::deque<Sent> sent;
};

} // namespace velorin
