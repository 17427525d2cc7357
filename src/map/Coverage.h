#pragma once

#include <QtGlobal>

#include <vector>

namespace vellmar::map {

// One bit per view pixel: set where something opaque has been drawn. Drawing
// opaque pictures front to back with it writes every pixel at most once,
// which matters zoomed out, where a thousand labels pile up over each other.
class Coverage
{
public:
    // All clear, for a width x height area.
    void reset(int width, int height);

    // Calls run(from, to) for each stretch of clear pixels of `row` between
    // columns `from` (included) and `to` (excluded), left to right.
    template <typename Run>
    void forEachClearRun(int row, int from, int to, Run &&run) const
    {
        int x = from;
        while (x < to) {
            x = nextWith(row, x, to, false);
            if (x >= to)
                return;
            const int end = nextWith(row, x, to, true);
            run(x, end);
            x = end;
        }
    }

    // The same for the stretches of set pixels.
    template <typename Run>
    void forEachSetRun(int row, int from, int to, Run &&run) const
    {
        int x = from;
        while (x < to) {
            x = nextWith(row, x, to, true);
            if (x >= to)
                return;
            const int end = nextWith(row, x, to, false);
            run(x, end);
            x = end;
        }
    }

    // Sets the pixels from `from` (included) to `to` (excluded) of `row`.
    void cover(int row, int from, int to);
    void cover(int row, int x) { m_bits[index(row, x)] |= quint64{1} << (x & 63); }

private:
    std::size_t index(int row, int x) const
    {
        return static_cast<std::size_t>(row) * static_cast<std::size_t>(m_words) + static_cast<std::size_t>(x >> 6);
    }
    // The first column from `x` on, before `to`, whose bit is `set`; `to` when none.
    int nextWith(int row, int x, int to, bool set) const;

    int m_words = 0;
    std::vector<quint64> m_bits;
};

} // namespace vellmar::map
