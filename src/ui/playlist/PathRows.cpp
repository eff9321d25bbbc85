#include "PathRows.h"

#include <QHash>

#include <algorithm>
#include <bit>

namespace {

constexpr std::size_t kFirstSlots = 64;

} // namespace

std::uint32_t PathRows::hashOf(const QString& path)
{
    const std::size_t hash = qHash(path);
    return static_cast<std::uint32_t>(hash ^ (hash >> 32));
}

std::size_t PathRows::slotOf(std::uint32_t hash, const QString& path, const PathOf& pathOf) const
{
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
        const Slot& slot = m_slots[at];
        if (slot.row < 0 || (slot.hash == hash && pathOf(slot.row) == path))
            return at;
    }
}

int PathRows::Find(const QString& path, const PathOf& pathOf) const
{
    if (m_used == 0)
        return -1;
    return m_slots[slotOf(hashOf(path), path, pathOf)].row;
}

int PathRows::FindOrAdd(const QString& path, int row, const PathOf& pathOf)
{
    if ((m_used + 1) * 2 > m_slots.size())
        rehash(std::max(kFirstSlots, m_slots.size() * 2));
    const std::uint32_t hash = hashOf(path);
    Slot& slot = m_slots[slotOf(hash, path, pathOf)];
    if (slot.row >= 0)
        return slot.row;
    slot = {hash, row};
    ++m_used;
    return row;
}

void PathRows::Clear()
{
    m_slots.clear();
    m_used = 0;
}

void PathRows::Reserve(std::size_t count)
{
    const std::size_t tableSize = std::bit_ceil(std::max(kFirstSlots, count * 2));
    if (tableSize > m_slots.size())
        rehash(tableSize);
}

void PathRows::rehash(std::size_t tableSize)
{
    std::vector<Slot> old(tableSize);
    old.swap(m_slots);
    const std::size_t mask = tableSize - 1;
    for (const Slot& slot : old) {
        if (slot.row < 0)
            continue;
        std::size_t at = slot.hash & mask;
        while (m_slots[at].row >= 0)
            at = (at + 1) & mask;
        m_slots[at] = slot;
    }
}
