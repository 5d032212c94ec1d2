// One whole HTTP exchange on loopback: resolve, connect, send, read the header block and the body,
// close; the answer is the country-code service's.
#include "net/CountryRequest.h"
#include "net/HttpClient.h"

#include <atomic>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr char kResponse[] = "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nContent-Length: 36\r\n\r\n"
                             "<x><CountryCode>DE</CountryCode></x>";

// Answers every connection with kResponse. It waits for the client to close first and then resets,
// so that neither side keeps a connection in TIME_WAIT: thousands of runs would use up the ports.
class ReplyingServer final {
public:
    ReplyingServer() {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_nListen, reinterpret_cast<const sockaddr*>(&address), sizeof address);
        ::listen(m_nListen, 16);
        socklen_t size = sizeof address;
        ::getsockname(m_nListen, reinterpret_cast<sockaddr*>(&address), &size);
        m_nPort = ntohs(address.sin_port);
        m_thread = std::thread([this] { Run(); });
    }
    ~ReplyingServer() {
        m_bStop = true;
        m_thread.join();
        ::close(m_nListen);
    }
    ReplyingServer(const ReplyingServer&) = delete;
    ReplyingServer& operator=(const ReplyingServer&) = delete;

    std::uint16_t Port() const { return m_nPort; }

private:
    void Run() {
        while (!m_bStop) {
            pollfd entry{m_nListen, POLLIN, 0};
            if (::poll(&entry, 1, 50) <= 0) {
                continue;
            }
            const int connection = ::accept(m_nListen, nullptr, nullptr);
            if (connection < 0) {
                continue;
            }
            std::string request;
            char chunk[1000];
            ssize_t received = 0;
            while (request.find("\r\n\r\n") == std::string::npos &&
                   (received = ::recv(connection, chunk, sizeof chunk, 0)) > 0) {
                request.append(chunk, static_cast<size_t>(received));
            }
            ::send(connection, kResponse, sizeof kResponse - 1, MSG_NOSIGNAL);
            while (::recv(connection, chunk, sizeof chunk, 0) > 0) {
            }
            const linger reset{1, 0};
            ::setsockopt(connection, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
            ::close(connection);
        }
    }

    int m_nListen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    std::uint16_t m_nPort = 0;
    std::atomic<bool> m_bStop{false};
    std::thread m_thread;
};

void BM_Exchange(benchmark::State& state) {
    ReplyingServer server;
    const auto request = ComposeCountryRequest({"127.0.0.1", server.Port()}, 4242);
    const CHttpClient client;
    char body[kCountryBodySize];
    for (auto _ : state) {
        HttpResult result;
        client.Request("127.0.0.1", server.Port(), request->data(), body, sizeof body, result);
        if (result.nStatus != 200 || !result.bComplete) {
            state.SkipWithError("the exchange failed");
            break;
        }
        benchmark::DoNotOptimize(result);
    }
}
BENCHMARK(BM_Exchange)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
