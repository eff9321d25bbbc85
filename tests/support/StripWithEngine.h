#pragma once
// The player strip over an engine of its own, joined as the program joins them: the
// strip shows the engine's transport and draws its spectrum, and the songs come from
// `playList` (may be null).

#include "Main.h"
#include "PlayListLink.h"
#include "PlaybackEngine.h"
#include "Transport.h"

struct StripWithEngine {
    explicit StripWithEngine(IPlayListLink* playList = nullptr)
        : form(engine.TheTransport(), engine.FrameSink(), playList)
    {
        engine.TheTransport().SetSongSource(playList);
        engine.SetSpectrumBack(form.SpectrumBackBits());
        engine.StartSpectrum();
    }

    PlaybackEngine engine;
    TFormMain form;
};
