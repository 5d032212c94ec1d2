#pragma once

#include <exception>

// The one error of the network code: the name of the operation that failed and the system's error
// number at that moment. Thrown and caught by value; the HTTP exchange never lets it escape.
class CSocketException final : public std::exception {
public:
    static constexpr int kOperationSize = 1000;
    static constexpr unsigned kMessageSize = 200;

    // Takes errno and the operation's name (cut to fit).
    explicit CSocketException(const char* operation);
    // For failures that no system call reported (time-outs, a peer that stopped sending): the number
    // is given rather than whatever errno happens to hold, so the message is always the same.
    CSocketException(const char* operation, int error);

    // "%s Fehler #%d" with the error number, or "%s Fehler" when it is 0, composed in a 200-byte work
    // area. Delivers at most maxLen - 1 characters and always terminates them; with maxLen 0 nothing is
    // written. The help context is left alone. Always true.
    bool GetErrorMessage(char* buffer, unsigned maxLen, unsigned* helpContext = nullptr) const;

    int Error() const { return m_nError; }
    const char* Operation() const { return m_szOperation; }
    const char* what() const noexcept override { return m_szOperation; }

private:
    int m_nError = 0;
    char m_szOperation[kOperationSize] = {};
};
