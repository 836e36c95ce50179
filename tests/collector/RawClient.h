#pragma once

// A loopback connection spoken to byte by byte, for requests no ordinary client would send: cut
// short, endless, or never finished. Every wait is bounded, so a server that hangs fails the test
// instead of hanging it.

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <string_view>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace velorin {

class RawClient {
public:
    static constexpr std::chrono::milliseconds patience{10000};

    explicit RawClient(int port) : m_fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0))
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (m_fd >= 0 && ::connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~RawClient()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    RawClient(RawClient&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    bool send(std::string_view text) { return stream(text, text.size()) == text.size(); }

    // Sends piece after piece until most bytes went, the server answered or closed, or it took none
    // for a while; returns how many bytes went.
    std::size_t stream(std::string_view piece, std::size_t most)
    {
        std::size_t sent = 0;
        while (m_fd >= 0 && sent < most) {
            pollfd p{m_fd, POLLIN | POLLOUT, 0};
            if (::poll(&p, 1, static_cast<int>(patience.count())) <= 0 || (p.revents & ~POLLOUT))
                break;
            const std::size_t at = sent % piece.size();
            const ssize_t n =
                ::send(m_fd, piece.data() + at, std::min(piece.size() - at, most - sent), MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n < 0 && errno != EAGAIN && errno != EINTR)
                break;
            if (n > 0)
                sent += static_cast<std::size_t>(n);
        }
        return sent;
    }

    // One answer: its head and as much body as its Content-Length says (interim answers have none).
    // Whatever came so far when the server closes or patience runs out.
    std::string answer()
    {
        const auto until = std::chrono::steady_clock::now() + patience;
        for (;;) {
            const std::size_t headEnd = m_received.find("\r\n\r\n");
            if (headEnd != std::string::npos) {
                const std::size_t field = m_received.find("Content-Length: ");
                const std::size_t length =
                    field < headEnd ? std::stoul(m_received.substr(field + 16, 12)) : std::size_t{0};
                if (m_received.size() >= headEnd + 4 + length) {
                    std::string one = m_received.substr(0, headEnd + 4 + length);
                    m_received.erase(0, one.size());
                    return one;
                }
            }
            if (!receive(until))
                return std::exchange(m_received, {});
        }
    }

    // False when nothing more will come: the server closed (m_ended), or time ran out.
    bool receive(std::chrono::steady_clock::time_point until)
    {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
        pollfd p{m_fd, POLLIN, 0};
        if (m_fd < 0 || left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0)
            return false;
        char buffer[65536];
        const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
        if (n <= 0) {
            m_ended = n == 0 || errno == ECONNRESET;
            return false;
        }
        m_received.append(buffer, static_cast<std::size_t>(n));
        return true;
    }

    int m_fd;
    std::string m_received;
    bool m_ended = false;
};

} // namespace velorin
