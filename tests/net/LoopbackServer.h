#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <future>
#include <string>
#include <thread>
#include <vector>

// What the server does with each connection once the request has arrived.
struct ScriptedReply {
    // Sent in order, 60 ms apart, so that each arrives on its own.
    std::vector<std::string> chunks{};
    // Each chunk goes out in (seeded) random pieces of 1 to 16 bytes, a millisecond apart.
    bool bSplit = false;
    // After the chunks, keep the connection open and silent until the client or the server ends it.
    bool bHoldOpen = false;
    // After the chunks, send this again and again, `pause` apart, until the client lets go, the server
    // stops or 20 seconds have passed: a reply that never ends, flooding or dripping.
    std::string repeat{};
    std::chrono::milliseconds pause{0};
};

// An HTTP peer on 127.0.0.1, on a port the system picks. It serves connections one after another:
// reads the request up to its empty line, then plays the reply. It stops, and lets go of every
// connection, when it goes out of scope.
class LoopbackServer final {
public:
    explicit LoopbackServer(ScriptedReply reply);
    ~LoopbackServer();

    std::uint16_t Port() const { return m_nPort; }
    // As KELVRA_MAKER_HOST takes it.
    std::string Address() const { return "127.0.0.1:" + std::to_string(m_nPort); }
    // The first request received; waits up to 10 seconds for it.
    std::string WaitForRequest();
    // Whether a connection is open at this moment: its client has neither been answered in full nor let go.
    bool Serving() const { return m_bServing; }

private:
    void Serve(int connection);

    ScriptedReply m_reply;
    int m_nListen = -1;
    std::uint16_t m_nPort = 0;
    std::atomic<bool> m_bStop{false};
    std::atomic<bool> m_bServing{false};
    std::promise<std::string> m_request;
    std::shared_future<std::string> m_firstRequest = m_request.get_future().share();
    std::thread m_thread;
};
