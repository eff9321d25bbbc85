#pragma once
// The engine as one object: the audio library brought up on its output, the stream
// player with its spectrum thread, the frame sink the spectrum is drawn into, and the one
// transport. The program owns one and hands the windows the transport and the sink; the
// engine needs no window (a QCoreApplication is enough), so it plays, seeks, pauses and
// joins songs headless. Window thread only.

#include "FrameSink.h"

#include <QString>

#include <array>
#include <cstdint>
#include <memory>

class COgg;
class Transport;

class PlaybackEngine {
public:
    // Brings the audio library up (its output opened, idle) on the named sound device, or
    // on the default one when the name is empty or the device cannot be opened
    // (fsound::SetOutputDevice). The spectrum thread waits for StartSpectrum, so that
    // the background it draws on can be given first.
    explicit PlaybackEngine(const QString& outputDevice = {});
    // Ends the spectrum thread, then, when this engine brought the library up, shuts it
    // down: the decoder thread, the output and every stream.
    ~PlaybackEngine();
    PlaybackEngine(const PlaybackEngine&) = delete;
    PlaybackEngine& operator=(const PlaybackEngine&) = delete;

    // The 60 x 30 picture the bars are drawn over: 32-bit BGRA, bottom row first,
    // copied. Black until given; only before StartSpectrum.
    void SetSpectrumBack(const std::uint8_t* bits);
    // The spectrum thread starts; it sleeps while no song is heard.
    void StartSpectrum();

    Transport& TheTransport() { return *m_transport; }
    COgg& StreamPlayer() { return *m_ogg; }
    SpectrumFrameSink& FrameSink() { return m_frameSink; }

private:
    SpectrumFrameSink m_frameSink;
    std::array<std::uint8_t, SpectrumFrameSink::kBytes> m_backBits{};
    bool m_spectrumStarted = false;
    bool m_ownsLibrary = false;
    // The transport goes before the player it drives.
    std::unique_ptr<COgg> m_ogg;
    std::unique_ptr<Transport> m_transport;
};
