#include "Coverage.h"

#include <algorithm>
#include <bit>

namespace vellmar::map {

void Coverage::reset(int width, int height)
{
    m_words = (std::max(width, 0) + 63) / 64;
    m_bits.assign(static_cast<std::size_t>(m_words) * static_cast<std::size_t>(std::max(height, 0)), 0);
}

void Coverage::cover(int row, int from, int to)
{
    while (from < to) {
        const int inWord = from & 63;
        const int count = std::min(64 - inWord, to - from);
        const quint64 bits = count == 64 ? ~quint64{0} : ((quint64{1} << count) - 1) << inWord;
        m_bits[index(row, from)] |= bits;
        from += count;
    }
}

int Coverage::nextWith(int row, int x, int to, bool set) const
{
    while (x < to) {
        quint64 word = m_bits[index(row, x)];
        if (!set)
            word = ~word;
        word &= ~quint64{0} << (x & 63); // only columns from x on
        if (word != 0)
            return std::min(to, (x & ~63) + std::countr_zero(word));
        x = (x & ~63) + 64;
    }
    return to;
}

} // namespace vellmar::map
