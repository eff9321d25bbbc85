#pragma once
// The player strip over an engine of its own, joined as the program joins them: the
// strip shows the engine's transport and draws its spectrum, and the songs come from
// `playList` (may be null).

#include "Cmain.h"
#include "G.h"
#include "Main.h"
#include "PlayListLink.h"
#include "PlaybackEngine.h"
#include "Transport.h"

struct StripWithEngine {
    explicit StripWithEngine(IPlayListLink* playList = nullptr)
        : form(engine.TheTransport(), engine.FrameSink(), settings, app, playList)
    {
        engine.TheTransport().SetSongSource(playList);
        engine.SetSpectrumBack(form.SpectrumBackBits());
        engine.StartSpectrum();
    }

    G_STRUCT_tag settings;
    CMain app;
    PlaybackEngine engine;
    TFormMain form;
};
