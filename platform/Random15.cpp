#include "platform/Random15.h"

// The classic linear congruential generator; its high bits are well mixed, its low bits are not used.
int Random15::Next() {
    m_state = m_state * 1103515245u + 12345u;
    return static_cast<int>((m_state >> 16) & 0x7FFFu);
}
