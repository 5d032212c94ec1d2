#pragma once

#include "net/HttpResult.h"

#include <chrono>
#include <cstdint>
#include <functional>

class CHttpSocket;
class CMySocket;

// One HTTP/1.1 exchange over a fresh TCP connection: resolve, connect, send the caller's request
// verbatim, read the status line, the header lines and a body of the announced length, close. No
// chunked coding, redirects, reuse or proxies. It blocks its thread; every wait is bounded by the
// time-out, resolving and connecting are not. The exchange as a whole fails once its time limit
// (counted from the start, resolving included) is spent or its byte limit has been received: a peer
// that keeps sending, however slowly, must not hold the thread for ever. Socket failures never leave
// it: the result tells.
class CHttpClient final {
public:
    static constexpr int kTimeoutSec = 10;
    static constexpr int kLineSize = 200;
    static constexpr int kValueSize = 100;
    static constexpr std::chrono::seconds kExchangeTimeLimit{30};
    static constexpr int kExchangeByteLimit = 64 * 1024;

    explicit CHttpClient(int timeoutSec = kTimeoutSec,
                         std::chrono::milliseconds exchangeTimeLimit = kExchangeTimeLimit,
                         int exchangeByteLimit = kExchangeByteLimit)
        : m_nTimeoutSec(timeoutSec), m_exchangeTimeLimit(exchangeTimeLimit),
          m_nExchangeByteLimit(exchangeByteLimit) {}

    // Fills `result`, and `body` with at most bodySize - 1 body bytes and a terminating zero. A failed
    // exchange leaves nStatus as far as it got (0 before the status line), nBodyLength 0, bComplete
    // false and `body` as it was, or empty when the failure came while the body was being read.
    void Request(const char* host, std::uint16_t port, const char* request, char* body, int bodySize,
                 HttpResult& result) const;

    // The reading half of Request on a connected socket: the header block, then the body into `body`
    // (bodySize at least 1). Throws CSocketException.
    void ReadReply(CHttpSocket& socket, char* body, int bodySize, HttpResult& result) const;

    // Runs right before the final close; lets a test make that close fail.
    void SetBeforeClose(std::function<void(const CMySocket&)> hook) { m_beforeClose = std::move(hook); }

private:
    int m_nTimeoutSec = kTimeoutSec;
    std::chrono::milliseconds m_exchangeTimeLimit = kExchangeTimeLimit;
    int m_nExchangeByteLimit = kExchangeByteLimit;
    std::function<void(const CMySocket&)> m_beforeClose;
};
