#pragma once

#include "net/MySocket.h"

#include <memory>

// A socket with a read-ahead buffer that hands out the response line by line, then the body.
// Everything it delivers comes from an untrusted peer; it never writes outside the buffers it is
// given.
class CHttpSocket final : public CMySocket {
public:
    static constexpr int kBufferSize = 1000;

    // The next line, line feed (and any carriage return before it) included, zero-terminated in
    // `destination`; returns the count delivered. A line of `capacity` characters or more is cut to
    // capacity - 1 and the rest of it, up to its line feed, is dropped: delivering the rest as a line
    // of its own would let the tail of a long header pose as the end of the header block or as a
    // header of its own. A line must fit the read-ahead buffer: 1,000 bytes without a line feed fail
    // at once with "ReadHeaderLine", as does a peer that stops sending before the line feed.
    int ReadHeaderLine(char* destination, int capacity, int timeoutSec);

    // The body: the bytes already read ahead, then received bytes until `expected` is reached or the
    // peer stops sending. Never more than `capacity` bytes are stored (the expected length comes from
    // the peer); the surplus is dropped. No terminator is added. Returns the count stored.
    int ReadResponse(char* destination, int capacity, int expected, int timeoutSec);

    // Received bytes not handed out yet.
    int Buffered() const { return m_nBuffered; }

private:
    void Consume(int count);

    std::unique_ptr<char[]> m_pBuffer = std::make_unique<char[]>(kBufferSize);
    int m_nBuffered = 0;
};
