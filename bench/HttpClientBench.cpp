// CPU of the HTTP client per request, this process only (the collector runs in a process of its
// own, so its work is not counted):
//  - an upload of one chunk (about 5 KB) to velorin-collector on 127.0.0.1, one at a time and four
//    at a time as the upload queue sends them;
//  - a request to a 127.0.0.1 port where nothing listens (a socket bound there and never listening
//    keeps the port taken, so every connection is refused).
// velorin-collector is looked for beside this program.
// Usage: velorin_http_client_bench [Google Benchmark options]

#include "net/RequestBuilding.h"
#include "net/qt/QtHttpClient.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <future>
#include <memory>
#include <netinet/in.h>
#include <spawn.h>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using namespace velorin;

std::string g_programDir;

// velorin-collector on an ephemeral port, with its data in a directory of its own.
class Collector {
public:
    Collector()
    {
        char dirTemplate[] = "/tmp/velorin-http-bench-XXXXXX";
        if (!mkdtemp(dirTemplate))
            return;
        m_dir = dirTemplate;
        const std::string program = g_programDir + "/velorin-collector";
        const std::string out = m_dir + "/out";
        std::vector<std::string> args{program, "--port", "0", "--data", m_dir + "/data"};
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        if (posix_spawn(&m_pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0)
            m_pid = 0;
        posix_spawn_file_actions_destroy(&actions);
        // It prints "listening on 127.0.0.1:PORT" once it takes requests; a bounded wait.
        for (int i = 0; m_pid > 0 && i < 200 && m_port == 0; ++i) {
            usleep(25'000);
            if (std::FILE* f = std::fopen(out.c_str(), "r")) {
                std::fscanf(f, "listening on 127.0.0.1:%d", &m_port);
                std::fclose(f);
            }
        }
    }
    ~Collector()
    {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
        }
        if (!m_dir.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(m_dir, ignored);
        }
    }
    int port() const { return m_port; }

private:
    std::string m_dir;
    pid_t m_pid = 0;
    int m_port = 0;
};

// A loopback port bound by this process and never listening: connections to it are refused.
class RefusingPort {
public:
    RefusingPort()
    {
        m_fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (m_fd < 0 || bind(m_fd, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            return;
        m_port = ntohs(address.sin_port);
    }
    ~RefusingPort()
    {
        if (m_fd >= 0)
            close(m_fd);
    }
    int port() const { return m_port; }

private:
    int m_fd = -1;
    int m_port = 0;
};

// A chunk's packet bytes: 268 packets of 19 bytes.
const std::string g_chunk(268 * 19, '\x5a');

// Built once: only the client's part is measured. The collector takes the same upload again as a
// duplicate and answers it like the first.
HttpRequest upload(int port)
{
    const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/Ecg/WriteTicksBase";
    HttpRequest request =
        uploadRequest(url, "5d07e1b94c2a4f86b3e0", "2017-05-27_101530_0.000000_0.000000.ecg", g_chunk);
    request.timeout = requestTimeout;
    return request;
}

void LocalUpload(benchmark::State& state)
{
    Collector collector;
    if (collector.port() == 0) {
        state.SkipWithError("velorin-collector did not start");
        return;
    }
    QtHttpClient http;
    const HttpRequest request = upload(collector.port());
    for (auto _ : state) {
        const HttpResponse response = http.sendBlocking(request);
        if (!response.success() || response.body.empty()) {
            state.SkipWithError(("upload not taken: " + failureText(response)).c_str());
            break;
        }
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(LocalUpload)->MeasureProcessCPUTime()->UseRealTime()->Unit(benchmark::kMicrosecond);

// Four at a time, answered on the client's completion threads, as the upload queue sends them.
void LocalUploadFourOpen(benchmark::State& state)
{
    Collector collector;
    if (collector.port() == 0) {
        state.SkipWithError("velorin-collector did not start");
        return;
    }
    QtHttpClient http;
    const HttpRequest request = upload(collector.port());
    for (auto _ : state) {
        std::vector<std::future<HttpResponse>> answers;
        for (int i = 0; i < 4; ++i) {
            auto promise = std::make_shared<std::promise<HttpResponse>>();
            answers.push_back(promise->get_future());
            http.send(request, [promise](HttpResponse r) { promise->set_value(std::move(r)); });
        }
        for (auto& answer : answers)
            if (!answer.get().success())
                state.SkipWithError("upload not taken");
    }
    state.SetItemsProcessed(state.iterations() * 4);
}
BENCHMARK(LocalUploadFourOpen)->MeasureProcessCPUTime()->UseRealTime()->Unit(benchmark::kMicrosecond);

void RefusedConnection(benchmark::State& state)
{
    RefusingPort refusing;
    if (refusing.port() == 0) {
        state.SkipWithError("no loopback port to refuse on");
        return;
    }
    QtHttpClient http;
    const HttpRequest request = upload(refusing.port());
    for (auto _ : state) {
        const HttpResponse response = http.sendBlocking(request);
        if (response.transferred()) {
            state.SkipWithError("something answered on the refusing port");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(RefusedConnection)->MeasureProcessCPUTime()->UseRealTime()->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    g_programDir = std::filesystem::absolute(argv[0]).parent_path().string();
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
