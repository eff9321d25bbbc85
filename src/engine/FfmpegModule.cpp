// The FFmpeg module's entry: FFmpeg's decoder and its demuxers' tags, behind the table
// of DecodeModule.h.

#include "DecodeModule.h"
#include "ModuleEntry.h"
#include "FfmpegDecoder.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/log.h>
}

namespace fsound {

namespace {

std::string value(const AVDictionary* tags, const char* key)
{
    const AVDictionaryEntry* entry = av_dict_get(tags, key, nullptr, 0);
    return entry && entry->value ? std::string(entry->value) : std::string();
}

RawTagSet tagSet(const AVDictionary* tags)
{
    return {value(tags, "title"), value(tags, "artist"), value(tags, "album_artist"), value(tags, "album")};
}

bool readTags(const char* path, std::vector<RawTagSet>* sets)
{
    AVFormatContext* context = nullptr;
    if (avformat_open_input(&context, path, nullptr, nullptr) != 0)
        return false;
    sets->push_back(tagSet(context->metadata));
    for (unsigned i = 0; i < context->nb_streams; ++i)
        if (context->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO)
            sets->push_back(tagSet(context->streams[i]->metadata));
    avformat_close_input(&context);
    return true;
}

} // namespace

} // namespace fsound

SORVEL_MODULE_ENTRY const fsound::DecodeApi* sorvel_decode_api()
{
    av_log_set_level(AV_LOG_QUIET);  // damaged files are expected; the library stays silent
    return fsound::DecodeTable<fsound::FfmpegDecoder, fsound::readTags>();
}
