// Feeds arbitrary bytes to the ReplayGain tag reader as a whole file. It must end without
// a fault and fetch no more than its budget, whatever the length fields say.

#include "ReplayGainFile.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string file(reinterpret_cast<const char*>(data), size);
    std::size_t fetchedBytes = 0;
    const ReadAtFunction readAt = [&](std::uint64_t offset, std::size_t bytes) {
        fetchedBytes += bytes;
        return offset < file.size() ? file.substr(static_cast<std::size_t>(offset), bytes) : std::string();
    };
    const ReplayGainTags tags = ReadReplayGainTags(readAt, file.size());
    if (fetchedBytes > kReplayGainReadBytes)
        __builtin_trap();
    (void)ReplayGainFactor(tags, true);
    return 0;
}
