// Feeds arbitrary bytes to the MP3 module as a file (ID3v1 and ID3v2 tags, the LAME and
// Xing header, resync past garbage) and every tag value it reads to the text decoder
// that tells UTF-8, code page 949 and Latin-1 apart.

#include "DecodeModule.h"
#include "FormatSniff.h"
#include "FuzzFile.h"
#include "TagReader.h"

#include <memory>

extern "C" const fsound::DecodeApi* sorvel_decode_api();

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzFile file(data, size);
    fsound::SniffDecoderKind(file.path());
    const fsound::DecodeApi* api = sorvel_decode_api();
    std::vector<fsound::RawTagSet> sets;
    api->readTags(file.path().c_str(), &sets);
    for (const fsound::RawTagSet& set : sets)
        for (const std::string& value : set)
            DecodeTagText(QByteArray::fromStdString(value));
    DecodeTagText(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    std::unique_ptr<fsound::DecoderBackend> decoder(api->makeDecoder());
    DecodeSome(*decoder, file.path());
    return 0;
}
