#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// What the server does with each connection.
struct ScriptedReply {
    // Sent in order after the request has arrived, with a pause between them so that each arrives on
    // its own.
    std::vector<std::string> chunks{};
    int pauseMs = 60;
    // Each chunk goes out in random pieces of 1 to 16 bytes, a millisecond apart (seeded).
    bool bSplit = false;
    // After the chunks: keep the connection open and silent until the server stops.
    bool bHoldOpen = false;
    // Reset the connection at once, reading nothing.
    bool bReset = false;
};

// An HTTP peer on 127.0.0.1, on a port the system picks. It serves connections one after another:
// reads the request up to its empty line, records it and plays the scripted reply. Every wait in it is
// bounded, and it stops when it goes out of scope.
class LoopbackServer final {
public:
    explicit LoopbackServer(ScriptedReply reply);
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    std::uint16_t Port() const { return m_nPort; }
    // "127.0.0.1:<port>", as KELVRA_MAKER_HOST takes it.
    std::string Address() const;
    // The first request received; waits up to 10 seconds for it.
    std::string WaitForRequest();

    // A port on which nobody listens.
    static std::uint16_t ClosedPort();

private:
    void Run();
    void Serve(int connection);
    void Send(int connection, const std::string& chunk);
    bool Stopping();

    ScriptedReply m_reply;
    int m_nListen = -1;
    std::uint16_t m_nPort = 0;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_bStop = false;
    std::vector<std::string> m_requests;
    std::thread m_thread;
};
