#include "Decoder.h"

#include "FormatSniff.h"
#include "WaveDecoder.h"

#include <sys/stat.h>

#include <algorithm>

namespace fsound {

namespace {

// One decodeChunk puts out about this many frames at most.
constexpr std::size_t kChunkOutputFrames = 8192;

bool regularFile(const std::string& path, std::int64_t& bytes)
{
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    bytes = st.st_size;
    return true;
}

} // namespace

Decoder::Decoder() = default;
Decoder::~Decoder() = default;

bool Decoder::openWith(DecoderKind kind, const std::string& path, unsigned rawMode)
{
    std::unique_ptr<DecoderBackend> backend;
    if (kind == DecoderKind::Wave) {
        backend = std::make_unique<WaveDecoder>();
    } else if (const DecodeApi* api = DecodeModule(kind)) {
        backend.reset(api->makeDecoder());
    } else {
        if (m_failure != OpenFailure::MissingModule) {
            m_failure = OpenFailure::MissingModule;
            m_failureDetail = ModuleError(kind);
        }
        return false;
    }
    if (!backend || !backend->open(path, rawMode))
        return false;
    const SourceFormat& format = backend->format();
    if (format.rate <= 0 || format.channels() <= 0)
        return false;
    m_format = format;
    m_kind = kind;
    m_backend = std::move(backend);
    return true;
}

bool Decoder::open(const std::string& path, int outRate, int outChannels, unsigned rawMode, Choice choice)
{
    m_backend.reset();
    m_resampler.reset();
    m_format = {};
    m_askedRate = outRate;
    m_outChannels = outChannels == 1 ? 1 : 2;
    m_failure = OpenFailure::None;
    m_failureDetail.clear();
    if (!regularFile(path, m_fileBytes)) {
        m_failure = OpenFailure::NotAudio;
        return false;
    }
    const DecoderKind own = choice == Choice::Ffmpeg ? DecoderKind::Ffmpeg : SniffDecoderKind(path);
    bool opened = start(own, path, rawMode);
    if (!opened && own != DecoderKind::Ffmpeg && choice == Choice::Auto)
        opened = start(DecoderKind::Ffmpeg, path, rawMode);
    if (!opened) {
        if (m_failure == OpenFailure::None)
            m_failure = OpenFailure::NotAudio;
        return false;
    }
    m_failure = OpenFailure::None;
    m_failureDetail.clear();
    return true;
}

bool Decoder::start(DecoderKind kind, const std::string& path, unsigned rawMode)
{
    if (!openWith(kind, path, rawMode))
        return false;
    m_openRate = m_format.rate;
    m_outRate = m_askedRate > 0 ? m_askedRate : m_openRate;
    if (adoptFormat(m_format)) {
        resetConversion();
        // A file that yields no sound at all (no frame found, every frame damaged) is no
        // song: it is refused here rather than played as silence that never ends.
        m_primed.clear();
        if (decodeChunk(m_primed))
            return true;
    }
    m_backend.reset();
    m_resampler.reset();
    return false;
}

bool Decoder::adoptFormat(const SourceFormat& format)
{
    m_format = format;
    m_downmix = Downmix(m_format.speakers, m_outChannels);
    m_resampler.reset();
    if (m_format.rate == m_outRate)
        return true;
    const ResampleApi* resample = ResampleModule();
    if (resample)
        m_resampler.reset(resample->makeResampler(m_outChannels, m_format.rate, m_outRate));
    if (!m_resampler) {
        m_failure = OpenFailure::MissingModule;
        m_failureDetail = resample ? std::string("libswresample.so.4") : ResampleModuleError();
        return false;
    }
    return true;
}

bool Decoder::convertTo(int rate)
{
    if (!m_backend || rate <= 0 || rate == m_outRate)
        return m_backend != nullptr;
    const int before = m_outRate;
    const bool primedNative = !m_resampler && m_mixedPos >= m_mixedFrames;
    m_outRate = rate;
    if (!adoptFormat(m_format)) {
        m_outRate = before;
        adoptFormat(m_format);
        return false;
    }
    if (primedNative && m_resampler) {
        // The chunk decoded at the open is still the file's own: it goes through the
        // converter first, like every chunk after it.
        m_mixed.swap(m_primed);
        m_primed.clear();
        m_mixedPos = 0;
        m_mixedFrames = m_mixed.size() / static_cast<std::size_t>(m_outChannels);
    } else if (!m_primed.empty()) {
        // Already converted at the old rate: decoded again from the start.
        m_backend->seekFrame(0);
        m_primed.clear();
        m_mixedPos = 0;
        m_mixedFrames = 0;
    }
    m_flushed = false;
    return true;
}

std::int64_t Decoder::durationMs() const
{
    if (!m_backend)
        return 0;
    const std::int64_t frames = m_backend->lengthFrames();
    return frames > 0 ? frames * 1000 / m_openRate : 0;
}

void Decoder::resetConversion()
{
    if (m_resampler) {
        if (const ResampleApi* resample = ResampleModule())
            m_resampler.reset(resample->makeResampler(m_outChannels, m_format.rate, m_outRate));
    }
    m_mixedPos = 0;
    m_mixedFrames = 0;
    m_flushed = false;
    m_finished = false;
}

void Decoder::seekMs(std::int64_t ms)
{
    if (!m_backend)
        return;
    ms = std::max<std::int64_t>(ms, 0);
    m_backend->seekFrame(ms * m_openRate / 1000);
    m_primed.clear();
    resetConversion();
}

bool Decoder::decodeChunk(std::vector<float>& out)
{
    if (!m_primed.empty()) {
        out.insert(out.end(), m_primed.begin(), m_primed.end());
        m_primed.clear();
        return true;
    }
    if (!m_backend || m_finished)
        return false;
    const std::size_t before = out.size();
    for (;;) {
        if (m_mixedPos < m_mixedFrames) {
            // A slice that makes about kChunkOutputFrames, however far apart the rates are.
            const std::size_t slice = std::clamp<std::size_t>(
                static_cast<std::size_t>(kChunkOutputFrames) * static_cast<std::size_t>(m_format.rate)
                    / static_cast<std::size_t>(m_outRate),
                1, m_mixedFrames - m_mixedPos);
            m_resampler->convert(m_mixed.data() + m_mixedPos * m_outChannels, static_cast<int>(slice), out);
            m_mixedPos += slice;
            if (out.size() > before)
                return true;
            continue;
        }
        m_native.clear();
        if (!m_backend->decode(m_native)) {
            if (m_resampler && !m_flushed) {
                m_flushed = true;
                m_resampler->flush(out);
                if (out.size() > before)
                    return true;
            }
            m_finished = true;
            return false;
        }
        const SourceFormat& now = m_backend->format();
        if (now.rate != m_format.rate || now.speakers != m_format.speakers) {
            // The next link of a chained file: what the old conversion still holds goes
            // out first, so the links join without a gap, then its own rate and layout.
            if (m_resampler && !m_flushed)
                m_resampler->flush(out);
            if (!adoptFormat(now)) {
                m_finished = true;
                return out.size() > before;
            }
            m_flushed = false;
        }
        const std::size_t frames = m_native.size() / static_cast<std::size_t>(m_format.channels());
        if (frames == 0)
            continue;
        if (!m_resampler) {
            m_downmix.apply(m_native.data(), frames, out);
            return true;
        }
        m_mixed.clear();
        m_downmix.apply(m_native.data(), frames, m_mixed);
        m_mixedPos = 0;
        m_mixedFrames = frames;
    }
}

} // namespace fsound
