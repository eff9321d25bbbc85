// The FFmpeg module's entry: FFmpeg's decoder and its demuxers' tags, behind the table
// of DecodeModule.h.

#include "DecodeModule.h"
#include "FfmpegDecoder.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/log.h>
}

namespace fsound {

namespace {

DecoderBackend* makeDecoder()
{
    return new FfmpegDecoder;
}

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

const DecodeApi* table()
{
    av_log_set_level(AV_LOG_QUIET);  // damaged files are expected; the library stays silent
    static const DecodeApi api{kDecodeApiVersion, &makeDecoder, &readTags};
    return &api;
}

} // namespace

} // namespace fsound

extern "C" __attribute__((visibility("default"))) const fsound::DecodeApi* sorvel_decode_api()
{
    static const fsound::DecodeApi* const api = fsound::table();
    return api;
}
