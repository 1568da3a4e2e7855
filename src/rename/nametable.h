#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace quorbit {

// Numbers found by the names they stand for, the names kept elsewhere: an
// open-addressed table of numbers costs a few bytes a name, where a hash set
// of names costs a node each. Every call is given `nameOf`, which tells the
// name of a number, so the table holds nothing that points into its owner.
class NameTable {
public:
    static constexpr std::uint32_t none = static_cast<std::uint32_t>(-1);

    // Room for `count` names before the table grows.
    explicit NameTable(std::size_t count = 0) { m_slots.assign(slotsFor(count), 0); }

    // Adds `number` under its name; when a number has that name already, gives
    // that number instead and adds nothing.
    template <class NameOf>
    std::uint32_t add(std::uint32_t number, const NameOf& nameOf)
    {
        if (2 * (m_count + 1) > m_slots.size()) {
            grow(nameOf);
        }
        const std::string_view name = nameOf(number);
        std::size_t slot = slotOf(name);
        for (; m_slots[slot] != 0; slot = (slot + 1) & mask()) {
            if (nameOf(m_slots[slot] - 1) == name) {
                return m_slots[slot] - 1;
            }
        }
        m_slots[slot] = number + 1;
        ++m_count;
        return number;
    }

    // The number named `name`, or none.
    template <class NameOf>
    std::uint32_t find(std::string_view name, const NameOf& nameOf) const
    {
        for (std::size_t slot = slotOf(name); m_slots[slot] != 0; slot = (slot + 1) & mask()) {
            if (nameOf(m_slots[slot] - 1) == name) {
                return m_slots[slot] - 1;
            }
        }
        return none;
    }

private:
    // At most half full, so a search ends after a few slots.
    static std::size_t slotsFor(std::size_t count) { return std::bit_ceil(std::max<std::size_t>(2 * count, 8)); }
    std::size_t mask() const { return m_slots.size() - 1; }
    std::size_t slotOf(std::string_view name) const { return std::hash<std::string_view>()(name) & mask(); }

    template <class NameOf>
    void grow(const NameOf& nameOf)
    {
        std::vector<std::uint32_t> numbers;
        numbers.reserve(m_count);
        for (const std::uint32_t slot : m_slots) {
            if (slot != 0) {
                numbers.push_back(slot - 1);
            }
        }
        m_slots.assign(slotsFor(2 * (m_count + 1)), 0);
        m_count = 0;
        for (const std::uint32_t number : numbers) {
            add(number, nameOf);
        }
    }

    std::vector<std::uint32_t> m_slots; // a number plus one; 0 where the slot is free
    std::size_t m_count = 0;
};

} // namespace quorbit
