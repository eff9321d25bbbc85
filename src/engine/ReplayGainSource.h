#pragma once
// What the container readers of ReplayGainFile.cpp and ReplayGainId3.cpp share: a file's
// bytes behind a small window and a budget, and the readers of each kind of tag.

#include "ReplayGainFile.h"

#include <optional>
#include <string_view>

namespace replaygain {

// Random access to a file's bytes through one window. What is fetched in all is limited
// to `budgetBytes`, so a damaged length makes a reader skip ahead but never read much.
// A reader that only moves forward through fetched bytes therefore ends.
class ByteSource {
public:
    ByteSource(const ReadAtFunction& readAt, std::uint64_t fileBytes,
               std::size_t budgetBytes = kReplayGainReadBytes);

    std::uint64_t FileBytes() const { return m_fileBytes; }
    // Exactly `bytes` bytes from `offset`; nothing when the file ends first, the read
    // fails or the budget is spent. The view lasts until the next call.
    std::optional<std::string_view> Bytes(std::uint64_t offset, std::size_t bytes);
    bool Has(std::uint64_t offset, std::string_view expected);

private:
    const ReadAtFunction& m_readAt;
    const std::uint64_t m_fileBytes;
    std::size_t m_budgetBytes;
    std::string m_window;
    std::uint64_t m_windowOffset = 0;
};

inline std::uint32_t BigEndian(std::string_view bytes, std::size_t count)
{
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < count; ++i)
        value = (value << 8) | static_cast<unsigned char>(bytes[i]);
    return value;
}

inline std::uint32_t LittleEndian32(std::string_view bytes)
{
    std::uint32_t value = 0;
    for (std::size_t i = 4; i-- > 0;)
        value = (value << 8) | static_cast<unsigned char>(bytes[i]);
    return value;
}

// Reads the ID3v2 tag at `offset`, taking its TXXX frames into `tags`; returns where the
// tag ends, or `offset` when there is none.
std::uint64_t ReadId3v2(ByteSource& source, std::uint64_t offset, ReplayGainTags& tags);
// Reads an APEv2 tag at the end of the file (before an ID3v1 tag, if any).
void ReadApeTag(ByteSource& source, ReplayGainTags& tags);

} // namespace replaygain
