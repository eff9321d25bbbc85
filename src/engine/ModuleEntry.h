#pragma once
// The table a decoding module hands the program (DecodeModule.h), made from its decoder
// class and its tag reader. Header-only: each module is built on its own.

#include "DecodeModule.h"

// Marks the one symbol a module exports; the build hides everything else.
#define SORVEL_MODULE_ENTRY extern "C" __attribute__((visibility("default")))

namespace fsound {

template <typename Backend, bool (*ReadTags)(const char*, std::vector<RawTagSet>*)>
const DecodeApi* DecodeTable()
{
    static const DecodeApi api{kDecodeApiVersion, [] () -> DecoderBackend* { return new Backend; }, ReadTags};
    return &api;
}

} // namespace fsound
