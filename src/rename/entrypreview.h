#pragma once

#include "rename/nameblock.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

namespace quorbit {

// What a look ahead at the rename run says will become of a listed entry.
enum class PreviewMark : std::uint8_t { Unchanged, WillRename, Taken, WantedTwice, Unsafe, InvalidPattern };

// One entry's preview; the new name is a view into its ListPreview.
struct EntryPreview {
    std::string_view newName; // empty for an unsafe one
    PreviewMark mark = PreviewMark::Unchanged;
    bool photoWithoutDate = false; // named by the operation, as it tells no date taken
};

// The entries the run would take, found by name; the others show no new name.
// The names and new names sit in two blocks and an open-addressed table of
// entry numbers finds them, so the preview of a folder of a million entries
// costs tens of bytes per entry instead of two strings and a node.
class ListPreview {
public:
    struct Entry {
        std::string_view name;
        EntryPreview preview;
    };

    // Room for `count` entries whose names and new names take the given bytes in all.
    void reserve(std::size_t count, std::size_t nameBytes, std::size_t newNameBytes)
    {
        m_names.reserve(count, nameBytes);
        m_newNames.reserve(count, newNameBytes);
        m_marks.reserve(count);
        growTable(count);
    }

    // Adds the entry named `name`, whose name no entry added before has.
    void add(std::string_view name, std::string_view newName, PreviewMark mark, bool photoWithoutDate)
    {
        growTable(size() + 1);
        m_names.add(name);
        m_newNames.add(newName);
        m_marks.push_back(
            static_cast<std::uint8_t>(static_cast<std::uint8_t>(mark) | (photoWithoutDate ? photoBit : 0)));
        m_slots[freeSlot(name)] = static_cast<std::uint32_t>(size());
    }

    std::size_t size() const { return m_names.size(); }
    bool empty() const { return size() == 0; }

    // The entry added `index`-th.
    Entry entry(std::size_t index) const
    {
        const std::uint8_t mark = m_marks[index];
        return {m_names[index],
                {m_newNames[index], static_cast<PreviewMark>(mark & ~photoBit), (mark & photoBit) != 0}};
    }

    // The preview of the entry named `name`; nothing when the run does not take it.
    std::optional<EntryPreview> find(std::string_view name) const
    {
        if (m_slots.empty()) {
            return std::nullopt;
        }
        for (std::size_t slot = firstSlot(name);; slot = (slot + 1) & (m_slots.size() - 1)) {
            if (m_slots[slot] == 0) {
                return std::nullopt;
            }
            const Entry found = entry(m_slots[slot] - 1);
            if (found.name == name) {
                return found.preview;
            }
        }
    }

private:
    static constexpr std::uint8_t photoBit = 0x80;

    std::size_t firstSlot(std::string_view name) const
    {
        return std::hash<std::string_view>{}(name) & (m_slots.size() - 1);
    }

    // The slot where `name`, which the table does not hold, goes.
    std::size_t freeSlot(std::string_view name) const
    {
        std::size_t slot = firstSlot(name);
        while (m_slots[slot] != 0) {
            slot = (slot + 1) & (m_slots.size() - 1);
        }
        return slot;
    }

    // Keeps the table at most half full with `count` entries, so a search ends
    // after a few slots.
    void growTable(std::size_t count)
    {
        if (count * 2 <= m_slots.size()) {
            return;
        }
        std::size_t slotCount = 16;
        while (slotCount < count * 2) {
            slotCount *= 2;
        }
        m_slots.assign(slotCount, 0);
        for (std::size_t index = 0; index < size(); ++index) {
            m_slots[freeSlot(m_names[index])] = static_cast<std::uint32_t>(index + 1);
        }
    }

    NameBlock m_names;
    NameBlock m_newNames;
    std::vector<std::uint8_t> m_marks; // the mark, with photoBit for a photo without a date
    std::vector<std::uint32_t> m_slots; // an entry's number plus one; 0 for a free slot
};

} // namespace quorbit
