#include "LoopbackServer.h"

#include "TestSockets.h"

#include <algorithm>
#include <random>

using namespace std::chrono_literals;

// Short polls, so that every loop notices a stop request soon.
static bool Readable(int descriptor) {
    return TestSockets::Poll(descriptor, POLLIN, 20) > 0;
}

LoopbackServer::LoopbackServer(ScriptedReply reply) : m_reply(std::move(reply)) {
    m_nListen = TestSockets::Listen(8, m_nPort);
    m_thread = std::thread([this] {
        while (!m_bStop) {
            if (const int connection = Readable(m_nListen) ? TestSockets::Accept(m_nListen) : -1;
                connection >= 0) {
                m_bServing = true;
                Serve(connection);
                TestSockets::Close(connection);
                m_bServing = false;
            }
        }
    });
}

LoopbackServer::~LoopbackServer() {
    m_bStop = true;
    m_thread.join();
    TestSockets::Close(m_nListen);
}

std::string LoopbackServer::WaitForRequest() {
    return m_firstRequest.wait_for(10s) == std::future_status::ready ? m_firstRequest.get() : "<no request>";
}

void LoopbackServer::Serve(int connection) {
    // Adds what arrives within a short poll; false once the peer has closed or the server stops.
    const auto receive = [&](std::string& into) {
        if (!Readable(connection)) {
            return !m_bStop; // nothing yet: wait on, unless the server stops
        }
        char chunk[512];
        const long received = TestSockets::Receive(connection, chunk, sizeof chunk);
        into.append(chunk, static_cast<size_t>(std::max(received, 0L)));
        return received > 0;
    };
    std::string request;
    while (request.find("\r\n\r\n") == std::string::npos && receive(request)) {
    }
    if (m_firstRequest.wait_for(0s) != std::future_status::ready) {
        m_request.set_value(request);
    }
    TestSockets::NoDelay(connection);
    TestSockets::SetNonBlocking(connection);
    std::mt19937 random(7);
    std::uniform_int_distribution<size_t> pieceSize(1, 16);
    for (const std::string& text : m_reply.chunks) {
        std::this_thread::sleep_for(&text == &m_reply.chunks.front() ? 0ms : 60ms);
        for (size_t at = 0, piece = 0; at < text.size(); at += piece) {
            piece = m_reply.bSplit ? std::min(pieceSize(random), text.size() - at) : text.size();
            for (size_t sent = 0; sent < piece && TestSockets::Poll(connection, POLLOUT, 1000) > 0;) {
                const long n = TestSockets::Send(connection, text.data() + at + sent, piece - sent);
                if (n < 0 && !TestSockets::WouldBlock()) {
                    break; // the client has let go
                }
                sent += static_cast<size_t>(std::max(n, 0L));
            }
            std::this_thread::sleep_for(m_reply.bSplit ? 1ms : 0ms);
        }
    }
    // Longer than any test waits for a client to give up, so that a client without limits shows.
    const auto repeatUntil = std::chrono::steady_clock::now() + 20s;
    while (!m_reply.repeat.empty() && !m_bStop && std::chrono::steady_clock::now() < repeatUntil) {
        const long sent = TestSockets::Poll(connection, POLLOUT, 20) > 0
                              ? TestSockets::Send(connection, m_reply.repeat.data(), m_reply.repeat.size())
                              : 0;
        if (sent < 0 && !TestSockets::WouldBlock()) {
            break; // the client has let go
        }
        std::this_thread::sleep_for(m_reply.pause);
    }
    for (std::string ignored; m_reply.bHoldOpen && receive(ignored);) {
    }
}
