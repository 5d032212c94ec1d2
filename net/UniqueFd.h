#pragma once

#include <utility>

// Owns one file descriptor and closes it when it goes.
class UniqueFd final {
public:
    UniqueFd() = default;
    explicit UniqueFd(int descriptor) : m_nDescriptor(descriptor) {}
    ~UniqueFd();
    UniqueFd(UniqueFd&& other) noexcept : m_nDescriptor(std::exchange(other.m_nDescriptor, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int Get() const { return m_nDescriptor; }

private:
    int m_nDescriptor = -1;
};
