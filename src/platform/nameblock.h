#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quorbit {

// Names kept one after another in one block of bytes and found by their
// number, so that a folder of a million entries costs a handful of
// allocations instead of one or two per name.
class NameBlock {
public:
    // Room for `count` names of `bytes` bytes in all, so the block is not copied as it grows.
    void reserve(std::size_t count, std::size_t bytes)
    {
        m_ends.reserve(count);
        m_bytes.reserve(bytes);
    }

    // Adds `name` after the last one; its number is the size before.
    void add(std::string_view name)
    {
        m_bytes.append(name);
        m_ends.push_back(m_bytes.size());
    }

    std::size_t size() const { return m_ends.size(); }

    // The name numbered `index`; valid until the next add.
    std::string_view operator[](std::size_t index) const
    {
        const std::size_t start = index == 0 ? 0 : m_ends[index - 1];
        return std::string_view(m_bytes).substr(start, m_ends[index] - start);
    }

private:
    std::string m_bytes;
    std::vector<std::size_t> m_ends; // where each name ends in m_bytes
};

} // namespace quorbit
