// Feeds arbitrary bytes to the "Temprary.txt" reader. Whatever it reads must come
// back unchanged after being written and read again.

#include "TempList.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QStringList lines = DecodeTempListText(bytes);
    if (DecodeTempListText(EncodeTempListText(lines)) != lines)
        __builtin_trap();
    return 0;
}
