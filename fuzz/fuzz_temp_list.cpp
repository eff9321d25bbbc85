// Feeds arbitrary bytes to the "Temprary.txt" reader and writes what it read back in
// the form the file came in, as the program does. The written file must be stable: read
// and written again it stays byte for byte the same. (Text of a well-formed file also
// comes back unchanged; the unit tests hold that.)

#include "TempList.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QByteArray written = EncodeTempListText(DecodeTempListText(bytes), TempListEncodingOf(bytes));
    if (EncodeTempListText(DecodeTempListText(written), TempListEncodingOf(written)) != written)
        __builtin_trap();
    return 0;
}
