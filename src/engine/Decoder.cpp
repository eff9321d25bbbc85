#include "Decoder.h"

#include "DecodeModule.h"

namespace fsound {

Decoder::Decoder()
{
    if (const DecodeApi* api = DecodeModule())
        m_backend.reset(api->makeDecoder());
}

Decoder::~Decoder() = default;

bool Decoder::open(const std::string& path, int outRate, int outChannels, unsigned rawMode)
{
    return m_backend && m_backend->open(path, outRate, outChannels, rawMode);
}

std::int64_t Decoder::durationMs() const
{
    return m_backend ? m_backend->durationMs() : 0;
}

std::int64_t Decoder::fileBytes() const
{
    return m_backend ? m_backend->fileBytes() : 0;
}

int Decoder::sampleRate() const
{
    return m_backend ? m_backend->sampleRate() : 0;
}

void Decoder::seekMs(std::int64_t ms)
{
    if (m_backend)
        m_backend->seekMs(ms);
}

bool Decoder::decodeChunk(std::vector<float>& out)
{
    return m_backend && m_backend->decodeChunk(out);
}

} // namespace fsound
