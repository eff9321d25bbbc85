// Feeds arbitrary bytes to the format sniffer and to the WAV/AIFF reader as a file:
// header, chunk walk, sample formats, seeks and the LIST/INFO and NAME/AUTH tags.

#include "FormatSniff.h"
#include "FuzzFile.h"
#include "WaveDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzFile file(data, size);
    fsound::SniffDecoderKind(file.path());
    fsound::WaveDecoder decoder;
    DecodeSome(decoder, file.path());
    std::vector<fsound::RawTagSet> sets;
    fsound::WaveDecoder::ReadTags(file.path(), &sets);
    return 0;
}
