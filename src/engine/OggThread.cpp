#include "OggThread.h"

#include "Ogg.h"
#include "ThreadName.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

namespace {

constexpr auto kPeriod = std::chrono::milliseconds(80);
constexpr int kBars = 30;
constexpr int kMaxBar = 29;

void lowerThisThreadsPriority()
{
    const auto tid = static_cast<id_t>(::syscall(SYS_gettid));
    errno = 0;
    const int nice = ::getpriority(PRIO_PROCESS, tid);
    if (errno == 0)
        ::setpriority(PRIO_PROCESS, tid, nice + 1);
}

} // namespace

TOggThread::TOggThread(COgg* ogg)
    : m_pOgg(ogg)
{
    m_thread = std::thread([this] {
        NameThisThread("sorvel-spectrum");
        Execute();
    });
}

TOggThread::~TOggThread()
{
    Terminate();
    WaitFor();
}

void TOggThread::Terminate()
{
    {
        std::lock_guard guard(m_sleepMutex);
        m_Terminated.store(true);
    }
    m_wake.notify_all();
}

void TOggThread::Wake()
{
    {
        std::lock_guard guard(m_sleepMutex);
    }
    m_wake.notify_all();
}

void TOggThread::WaitFor()
{
    std::lock_guard guard(m_joinMutex);
    if (m_thread.joinable())
        m_thread.join();
}

void TOggThread::ComposeFrame(const float* spectrum, const std::uint8_t* backBits, std::uint8_t* frameBits)
{
    constexpr int width = SpectrumFrameSink::kWidth;
    if (backBits)
        std::memcpy(frameBits, backBits, SpectrumFrameSink::kBytes);
    else
        std::memset(frameBits, 0, SpectrumFrameSink::kBytes);
    for (int bar = 0; bar < kBars; ++bar) {
        const int i = bar * 2;
        // Compared in floating point first: a negative, NaN or huge value never
        // reaches the integer conversion.
        const float scaled = spectrum[i] * 6.0f * 30.0f;
        int h = 0;
        if (scaled >= 30.0f)
            h = kMaxBar;
        else if (scaled > 0.0f)
            h = static_cast<int>(scaled);
        const int column = width - 1 - i;
        for (int j = 0; j < h; ++j) {
            std::uint8_t* px = frameBits + (j * width + column) * 4;
            px[0] = 250;
            px[1] = static_cast<std::uint8_t>(255 - 4 * j);
            px[2] = static_cast<std::uint8_t>(100 + 4 * j);
        }
    }
}

void TOggThread::Execute()
{
    lowerThisThreadsPriority();
    BitmapInfo& info = m_pOgg->m_BmpInfo;
    std::memset(&info, 0, sizeof info);
    info.biSize = 40;
    info.biWidth = SpectrumFrameSink::kWidth;
    info.biHeight = SpectrumFrameSink::kHeight;
    info.biPlanes = 1;
    info.biBitCount = 32;
    info.biCompression = 0;

    auto wanted = [this] { return !m_pOgg->m_pCanvas || m_pOgg->m_pCanvas->Shown(); };
    while (!m_Terminated.load()) {
        {
            std::unique_lock guard(m_sleepMutex);
            // Nothing heard: nothing new would be drawn (a pause keeps its last frame), so
            // sleep until a song plays instead of waking 12.5 times a second.
            // Nobody sees the frames while the window is hidden or covered: sleep then too.
            m_wake.wait(guard, [this, &wanted] {
                return m_Terminated.load() || (wanted() && m_pOgg->m_IsOpen() && !m_pOgg->m_IsHeld());
            });
            if (m_wake.wait_for(guard, kPeriod, [this] { return m_Terminated.load(); }))
                break;
        }
        // Taken before the stream is looked at: a stop closes the stream before it
        // erases the area, so a frame begun before the erase carries an old generation
        // and the sink refuses it.
        const std::uint64_t generation = m_pOgg->m_pCanvas ? m_pOgg->m_pCanvas->Generation() : 0;
        if (!wanted() || !m_pOgg->m_IsOpen() || m_pOgg->m_IsHeld())
            continue;
        const float* spectrum = FSOUND_DSP_GetSpectrum();
        if (!spectrum)
            break;
        ComposeFrame(spectrum, m_pOgg->m_pBackBits, m_pOgg->m_FrameBits);
        if (AfterCompose)
            AfterCompose();
        if (m_pOgg->m_pCanvas)
            m_pOgg->m_pCanvas->SetDIBits(info, m_pOgg->m_FrameBits, generation, spectrum);
    }
    m_Finished.store(true);
}
