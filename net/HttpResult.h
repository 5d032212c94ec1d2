#pragma once

#include <array>
#include <cstdint>

// What one HTTP exchange (CHttpClient::Request) leaves behind.
struct HttpResult {
    static constexpr int kHeaderSize = 2000;

    // Body bytes stored in the caller's buffer; 0 until the body has been read.
    int nBodyLength = 0;
    // From just before name resolution to the connection; 0 when no connection was made.
    int nConnectMs = 0;
    // From the connection to its close; 0 when no connection was made.
    int nTransferMs = 0;
    // The status line's code; 0 until a status line has been read.
    std::uint16_t nStatus = 0;
    // The header block as received, line ends included, cut to fit; "empty" until a line arrives.
    std::array<char, kHeaderSize> szHeader{"empty"};
    // The exchange ran to its end: the header block and the body were read. A status alone does not
    // say that, since the status line can arrive before the exchange fails.
    bool bComplete = false;
};
