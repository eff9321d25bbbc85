// Feeds arbitrary bytes to the Opus module as a file: our Ogg page reader, the head
// and link scan of chained files, the bisection seek and the OpusTags comments.

#include "DecodeModule.h"
#include "FuzzFile.h"

#include <memory>

extern "C" const fsound::DecodeApi* sorvel_decode_api();

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzFile file(data, size);
    const fsound::DecodeApi* api = sorvel_decode_api();
    std::unique_ptr<fsound::DecoderBackend> decoder(api->makeDecoder());
    DecodeSome(*decoder, file.path());
    std::vector<fsound::RawTagSet> sets;
    api->readTags(file.path().c_str(), &sets);
    return 0;
}
