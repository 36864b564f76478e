#pragma once

// The found-file list's rows, kept in fixed blocks of 65,536 instead of one
// array: adding a row never moves the others (a growing array of five million
// rows would copy hundreds of megabytes at a time and hold up to twice the
// memory it needs), and the memory held stays within one block of the rows'.

#include <QtGlobal>

#include <cstddef>
#include <memory>
#include <vector>

namespace clarivex {

template <typename Row> class RowStore
{
public:
    static constexpr size_t kBlockShift = 16;
    static constexpr size_t kBlockRows = size_t(1) << kBlockShift;

    [[nodiscard]] size_t size() const { return m_size; }
    [[nodiscard]] bool empty() const { return m_size == 0; }

    Row &operator[](size_t i) { return m_blocks[i >> kBlockShift][i & (kBlockRows - 1)]; }
    const Row &operator[](size_t i) const
    {
        return m_blocks[i >> kBlockShift][i & (kBlockRows - 1)];
    }

    Row &back() { return (*this)[m_size - 1]; }
    const Row &back() const { return (*this)[m_size - 1]; }

    // Forward iteration, for range-for loops over all rows.
    template <typename Store, typename Value> class Iterator
    {
    public:
        Iterator(Store *store, size_t index) : m_store(store), m_index(index) {}
        Value &operator*() const { return (*m_store)[m_index]; }
        Iterator &operator++()
        {
            ++m_index;
            return *this;
        }
        bool operator!=(const Iterator &other) const { return m_index != other.m_index; }

    private:
        Store *m_store;
        size_t m_index;
    };
    auto begin() { return Iterator<RowStore, Row>(this, 0); }
    auto end() { return Iterator<RowStore, Row>(this, m_size); }
    auto begin() const { return Iterator<const RowStore, const Row>(this, 0); }
    auto end() const { return Iterator<const RowStore, const Row>(this, m_size); }

    void push_back(const Row &row)
    {
        if ((m_size >> kBlockShift) == m_blocks.size())
            m_blocks.push_back(std::make_unique_for_overwrite<Row[]>(kBlockRows));
        (*this)[m_size++] = row;
    }

    // Keeps the first `count` rows and gives back the blocks no longer used.
    void truncate(size_t count)
    {
        if (count >= m_size) return;
        m_size = count;
        m_blocks.resize((count + kBlockRows - 1) >> kBlockShift);
    }

    // Removes the rows [first, last), moving the later ones down.
    void erase(size_t first, size_t last)
    {
        if (first >= last || last > m_size) return;
        size_t out = first;
        for (size_t in = last; in < m_size; ++in)
            (*this)[out++] = (*this)[in];
        truncate(out);
    }

    void clear()
    {
        m_blocks.clear();
        m_blocks.shrink_to_fit();
        m_size = 0;
    }

    void swap(RowStore &other) noexcept
    {
        m_blocks.swap(other.m_blocks);
        std::swap(m_size, other.m_size);
    }

    // Memory held for rows, in bytes.
    [[nodiscard]] size_t capacityBytes() const
    {
        return m_blocks.size() * kBlockRows * sizeof(Row) +
               m_blocks.capacity() * sizeof(std::unique_ptr<Row[]>);
    }

private:
    std::vector<std::unique_ptr<Row[]>> m_blocks;
    size_t m_size = 0;
};

} // namespace clarivex
