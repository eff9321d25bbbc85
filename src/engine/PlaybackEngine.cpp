#include "PlaybackEngine.h"

#include "Ogg.h"
#include "Transport.h"
#include "fsound.h"

#include <cstring>

PlaybackEngine::PlaybackEngine(const QString& outputDevice)
{
    // A library already up (a test program brings it up once for all its tests) stays up.
    m_ownsLibrary = !fsound::Initialised();
    m_ogg = std::make_unique<COgg>(&m_frameSink, m_backBits.data());
    fsound::SetOutputDevice(outputDevice.toStdString());
    m_ogg->m_InitSound();
    m_transport = std::make_unique<Transport>(*m_ogg);
}

PlaybackEngine::~PlaybackEngine()
{
    m_transport.reset();
    // The spectrum thread draws into the player's memory: the player's end joins it.
    m_ogg.reset();
    if (m_ownsLibrary)
        fsound::Shutdown();
}

void PlaybackEngine::SetSpectrumBack(const std::uint8_t* bits)
{
    if (m_spectrumStarted || !bits)
        return;
    std::memcpy(m_backBits.data(), bits, m_backBits.size());
}

void PlaybackEngine::StartSpectrum()
{
    m_spectrumStarted = true;
    m_ogg->m_StartThread();
}
