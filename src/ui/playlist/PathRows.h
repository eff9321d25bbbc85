#pragma once
// The temporary list's rows by path, to find a duplicate as songs arrive: an open table
// of (hash, row) pairs over the list's own paths. Growing it moves the pairs and never
// hashes a path again, so the batch that takes the list past a size doubles one flat
// array instead of reading every path of a list of 100,000 again (a pause the windows
// would show).

#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

class PathRows {
public:
    // The path a noted row stands for (read only when the hashes agree).
    using PathOf = std::function<const QString&(int row)>;

    // The row noted for `path`; -1 if none.
    int Find(const QString& path, const PathOf& pathOf) const;
    // The row noted for `path`; when there is none, `row` is noted for it and returned.
    int FindOrAdd(const QString& path, int row, const PathOf& pathOf);
    void Clear();
    void Reserve(std::size_t count);
    std::size_t Size() const { return m_used; }

private:
    // Eight bytes: half of the hash is enough to place a path and to pass over most
    // others without reading them.
    struct Slot {
        std::uint32_t hash = 0;
        int row = -1;  // -1: empty
    };
    static std::uint32_t hashOf(const QString& path);
    // The slot holding `path`, or the empty slot where it would go.
    std::size_t slotOf(std::uint32_t hash, const QString& path, const PathOf& pathOf) const;
    void rehash(std::size_t tableSize);

    std::vector<Slot> m_slots;  // a power of two in size, at most half used
    std::size_t m_used = 0;
};
