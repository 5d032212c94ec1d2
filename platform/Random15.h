#pragma once

#include <cstdint>

// The texture generator of the shaded buttons: 0..32767 exactly, the range the shading's divisions
// assume (glibc's rand() reaches 2^31 - 1). Owned by the user-interface thread; not thread-safe.
class Random15 final {
public:
    static constexpr int kMax = 32767;

    explicit Random15(std::uint32_t seed = 1) : m_state(seed) {}
    void Seed(std::uint32_t seed) { m_state = seed; }
    int Next();

private:
    std::uint32_t m_state;
};
