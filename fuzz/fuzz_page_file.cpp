// Feeds arbitrary bytes to the page-file reader as if they were a MusicList file,
// then uses every record the way the playlist does.

#include "FileIO.h"
#include "G.h"
#include "MusicFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const bool quiet = [] {
        SetMessageBoxHandler([](const QString&, const QString&, int) { return IDOK; });
        return true;
    }();
    (void)quiet;

    // fmemopen refuses an empty buffer; a null stream reads as an empty file.
    std::FILE* stream = size > 0 ? fmemopen(const_cast<std::uint8_t*>(data), size, "rb") : nullptr;
    TFILE file(stream);
    CMusicFile page(1);
    page.ReadFrom(file);

    const auto count = static_cast<std::size_t>(page.Entries->Count());
    if (count > size / 500)
        __builtin_trap();
    for (std::size_t i = 0; i < count; ++i) {
        TMusicFile* record = page.Entries->Get(static_cast<int>(i));
        if (std::memcmp(record, data + 500 * (i + 1), 500) != 0)
            __builtin_trap();
        const QString path = EntryPath(*record);
        const QString name = EntryDisplayName(*record);
        if (name.size() > path.size())
            __builtin_trap();
        TMusicFile copy;
        SetEntryPath(copy, path);
        delete record;
    }
    page.Entries->Clear();
    return 0;
}
