#pragma once
// Every thread the program starts carries a short name, so a debugger, `top -H` or a
// sanitizer report says which one it is. Longer names are cut to the system's 15 bytes.
//   sorvel-decoder   decodes every open song into its ring (the engine's one decoding thread)
//   sorvel-silent    paces the output when there is no sound device
//   sorvel-pulse     PulseAudio's own loop, which pulls the mixed sound
//   sorvel-spectrum  draws the spectrum every 80 ms while a song plays
//   sorvel-drops     walks dropped and opened folders for the playlist

// Names the calling thread.
void NameThisThread(const char* name);
