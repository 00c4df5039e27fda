#pragma once

#include <QtGlobal>
#include <cstring>

// A fast 64-bit hash of one line of text, eight bytes at a time: lines are short, so the cost per call matters
// more than the cost per byte. It tells apart texts edited by hand, not texts made to collide.
inline quint64 lineHash(const char* at, std::size_t size)
{
    constexpr quint64 kMultiplier = 0x9fb21c651e98df25ULL;
    quint64 hash = 0x243f6a8885a308d3ULL ^ (size * kMultiplier);
    while (size >= 8) {
        quint64 word;
        std::memcpy(&word, at, 8);
        hash = (hash ^ word) * kMultiplier;
        hash ^= hash >> 29;
        at += 8;
        size -= 8;
    }
    quint64 word = 0;
    if (size > 0) // an empty line may have no bytes to point at
        std::memcpy(&word, at, size);
    hash = (hash ^ word) * kMultiplier;
    hash ^= hash >> 32;
    hash *= kMultiplier;
    return hash ^ (hash >> 29);
}
