#pragma once
// Sorvel's audio library: the FSOUND_ functions the player calls, built on decoders
// loaded per format (Decoder.h) and an output chosen from a table of drivers
// (AudioOutput.h: PulseAudio, then SDL2, then a silent sink that keeps real time).
//
// Threads, by the names used everywhere in the engine (in brackets the name the system
// shows, ThreadName.h):
// - window: the Qt GUI thread. Calls every function here; owns COgg and the streams'
//   handles. Never opens, probes, decodes or seeks a file: it asks, and waits at most a
//   few milliseconds for an open (FSOUND_Stream_Open); never takes a decodeMutex. Opens
//   and closes the output, and is the only thread that says anything on stderr.
// - opener [sorvel-opener]: OpenThread. Opens each stream's decoder (probing, headers,
//   the first chunk) under the stream's decodeMutex, one file at a time, then tells the
//   news and wakes the decoder thread. Sleeps while nothing is to be opened.
// - spectrum [sorvel-spectrum]: TOggThread. Calls FSOUND_DSP_GetSpectrum only; owns
//   COgg's frame memory and hands frames to the SpectrumFrameSink under the sink's lock.
// - decoder [sorvel-decoder]: the library's one decoding thread. Owns each opened stream's
//   Decoder (under the stream's decodeMutex), makes the seeks the window thread asked for
//   and is the only writer of the sample rings.
// - device callback: the output's own thread (SDL's, PulseAudio's mainloop
//   [sorvel-pulse], or the silent sink's [sorvel-silent]). Only copies from the rings,
//   applies the gain, pads with silence and counts frames; never allocates, logs,
//   calls FFmpeg or waits on decodeMutex. PulseAudio's mainloop also keeps the
//   connection: when the server goes away or refuses a call it marks the output lost
//   and connects again, and the window thread hears of it through NewsDescriptor.
//
// Start-up (PlaybackEngine, made by the program before its windows): SetOutputDevice
// with the device the settings name, then FSOUND_Init before any other call: it opens
// the output (the first driver that opens, on the named device or else its default)
// and starts the opener and the decoder thread. The spectrum thread starts after it,
// once the strip has given its background (PlaybackEngine::StartSpectrum).
// Shut-down (PlaybackEngine's end, after the windows): the spectrum thread is joined
// (COgg's destructor) before fsound::Shutdown, which joins the opener (after the open
// under way), then the decoder, then closes the output (its device callback has stopped
// for good when the driver's close returns), then frees the streams.
//
// Handles are opaque. A null handle means "no stream"; a handle that was stopped is
// forgotten by the library and every function treats it like a null handle.

#include <string>

typedef struct FSOUND_STREAM FSOUND_STREAM;
typedef struct FSOUND_DSPUNIT FSOUND_DSPUNIT;

// Open-mode bits. They describe raw PCM files only; compressed files play in their
// own channel layout whatever the mode says.
enum : unsigned int {
    FSOUND_8BITS = 0x08,
    FSOUND_16BITS = 0x10,
    FSOUND_MONO = 0x20,
    FSOUND_STEREO = 0x40,
    FSOUND_UNSIGNED = 0x80,
    FSOUND_SIGNED = 0x100,
};

constexpr int FSOUND_FREE = -1;  // any free channel
constexpr int FSOUND_ALL = -3;   // every channel
constexpr int FSOUND_SPECTRUM_BINS = 512;

// Opens the output: the first of PulseAudio, SDL and a silent sink that keeps real time
// that opens, on the device SetOutputDevice named or else on its default device
// (AudioOutput.h). It plays at the given rate until a song starts with nothing else
// playing, and from then on at that song's rate; a song started beside others, or queued
// behind one of the same folder, is converted to the output's rate. Says on stderr, once,
// when the output is not the first choice. Calling it again does nothing.
signed char FSOUND_Init(int mixrate, int maxchannels, unsigned int flags);

// A stream for the file, or null when it cannot be opened as audio (missing, empty
// path, not a regular file, not audio, no sound in it). The file is opened off the
// calling thread; a file that takes longer than a few milliseconds gives a stream that
// is still opening (fsound::StreamOpening), which may be played, sought, queued and
// stopped meanwhile: it is silent, its length is 0, and the news tells when the open is
// done or failed (fsound::StreamOpenFailed).
FSOUND_STREAM* FSOUND_Stream_Open(const char* name, unsigned int mode, int offset, int length);
// Starts the stream on a free channel; returns the channel, or -1.
int FSOUND_Stream_Play(int channel, FSOUND_STREAM* stream);
// Stops the stream and releases it; the handle is invalid afterwards.
signed char FSOUND_Stream_Stop(FSOUND_STREAM* stream);
// Moves the stream to the position; before play it sets where playback starts.
// The decoder thread seeks: meanwhile the stream is silent and its position is the target.
signed char FSOUND_Stream_SetTime(FSOUND_STREAM* stream, int ms);
// The position that is audible now, in ms: what the device (for a sound server, the sink)
// has played, not what was handed to it. 0 for a null handle. Monotonic while playing;
// it stands still while paused and while the output is lost.
int FSOUND_Stream_GetTime(FSOUND_STREAM* stream);
// The song's duration in ms; 0 for a null handle. What the file states until all of it
// is decoded; from then on the length of what was really decoded, shorter or longer.
int FSOUND_Stream_GetLengthMs(FSOUND_STREAM* stream);
// The file's size in bytes; 0 for a null handle.
int FSOUND_Stream_GetLength(FSOUND_STREAM* stream);

// Pauses (paused 1) or resumes (0) the stream on a channel, or every channel with
// FSOUND_ALL. A paused stream keeps its decoder and everything queued for the device; the
// output holds what it had queued without playing it, and resuming goes on from the first
// sample not yet heard. Its position stands still meanwhile. 0 when there is no such channel.
signed char FSOUND_SetPaused(int channel, signed char paused);
signed char FSOUND_GetPaused(int channel);

// Volume 0..255. FSOUND_ALL scales everything playing, and what plays later.
signed char FSOUND_SetVolume(int channel, int volume);
int FSOUND_GetChannelsPlaying();
// Sample rate of the song on the channel, counting playing channels from 1 (0 also
// addresses the first), so FSOUND_GetFrequency(FSOUND_GetChannelsPlaying()) is the
// newest song's rate. 0 when there is no such channel.
int FSOUND_GetFrequency(int channel);

FSOUND_DSPUNIT* FSOUND_DSP_GetFFTUnit();
signed char FSOUND_DSP_SetActive(FSOUND_DSPUNIT* unit, signed char active);
// FSOUND_SPECTRUM_BINS magnitudes, lowest frequency first, about 0..1, from the last
// 1024 samples actually played; zeros while the FFT unit is off or nothing plays.
// Null only when the library is not initialised. The buffer belongs to the calling
// thread and stays valid until that thread's next call.
float* FSOUND_DSP_GetSpectrum();

namespace fsound {
// Stops the decoder thread, closes the device and releases every stream. For program
// exit, tests and benchmarks; FSOUND_Init may be called again afterwards.
void Shutdown();
// True once every decoded sample of the stream has been played out by the device,
// also when the file's stated length was wrong or missing. False for a null handle.
bool StreamPlayedOut(FSOUND_STREAM* stream);
// True when the silent fallback sink is in use instead of a sound device.
bool UsingSilentSink();
// The driver of the output in use: "pulse", "sdl" or "silent"; empty before FSOUND_Init.
const char* OutputName();
// The device the next FSOUND_Init opens: a PulseAudio sink's name (`pactl list short
// sinks`), or SDL's name for a device when SDL plays. Empty: the default device. Window
// thread, before FSOUND_Init.
void SetOutputDevice(const std::string& name);
// The rate the output plays at now: that of the song that started it while nothing
// played (FSOUND_Init's until then). 0 before FSOUND_Init.
int OutputRate();
// True between FSOUND_Init and Shutdown.
bool Initialised();

// Milliseconds until the stream's last sample is heard, once every sample is decoded;
// -1 before that, and for a null handle. 0 once it has played out.
int StreamMsUntilPlayedOut(FSOUND_STREAM* stream);
// The sample rate the stream's file holds, in Hz, known from its open on, played or not;
// 0 for a null handle.
int StreamSampleRate(FSOUND_STREAM* stream);

// Queues `next` (opened, not playing) behind `stream`: its decoding starts now, and once
// the last sample of `stream` has been mixed, `next` takes its channel and goes on in
// the same output buffer, with nothing between them. `stream` then no longer plays: its
// position stands at its end and it has played out once the first sample of `next` is
// heard; stopping it leaves `next` playing. False when either handle is not open, `stream`
// already has a song queued or `next` plays or is queued elsewhere.
bool StreamQueue(FSOUND_STREAM* stream, FSOUND_STREAM* next);
// Whether a song may still be queued behind `stream` (not at first). While one may, an
// output that waits for sound (a sound server) stops at the end of `stream` rather than
// closing it with silence, so that a song queued after the output reached that end still
// follows it without a gap. The caller says false once nothing will be queued.
void StreamAwaitFollower(FSOUND_STREAM* stream, bool await);
// Takes back the song queued behind `stream`; the caller stops it. When it had already
// taken the channel, `stream` has it again (at its end: seek it to be heard again) and
// the result is true.
bool StreamUnqueue(FSOUND_STREAM* stream);
// True once the song queued behind `stream` has taken its channel.
bool StreamHandedOver(FSOUND_STREAM* stream);
// Frames of silence put inside songs since FSOUND_Init because the decoder thread was
// late for an output that cannot wait (SDL): dropouts. 0 before FSOUND_Init.
std::int64_t StarvedFrames();

// A descriptor that becomes readable when the library has news for the window thread: a
// stream decoded to its end (its length is now known), or the output lost or back. The
// news itself is asked for with the functions here; TakeNews makes it unreadable again.
int NewsDescriptor();
void TakeNews();
// False while the output's sound server is gone, or while a new connection is made after
// it refused a call. Streams then stand still (nothing is heard); the output reconnects
// by itself once the server answers again, but what was queued in the old server is
// lost: the caller puts the streams back where they were. Every loss is answered false
// at least once, even one that was over before the call, and said once on stderr for
// each reason. Window thread.
bool OutputConnected();
// How many times the sound server said a sink or its default sink changed (a volume set
// elsewhere); it only grows while one output stays open. 0 from an output nobody tells.
// Window thread.
unsigned OutputSinkChanges();


// Why the last FSOUND_Stream_Open failed (None after one that succeeded). Any thread;
// the window thread asks right after a failed open.
struct OpenError {
    enum Kind {
        None,
        NotAudio,        // missing, not a regular file, or no decoder takes it
        MissingLibrary,  // the file's decoder could not be loaded: `library` names what is missing
    };
    Kind kind = None;
    std::string library;  // a file name such as "libmpg123.so.0" or "libsorvel_ffmpeg.so"
};
OpenError LastOpenError();

// The stream's file is still being opened (see FSOUND_Stream_Open).
bool StreamOpening(FSOUND_STREAM* stream);
// The open of a stream handed back while still opening has failed; `why` (may be null)
// says why. The caller stops the stream. False while opening, once open, for null.
bool StreamOpenFailed(FSOUND_STREAM* stream, OpenError* why);
// Tests: while held, files are not opened (an open under way finishes), so a test can
// see what happens while one is slow.
void HoldOpensForTests(bool hold);
// Tests: how long FSOUND_Stream_Open waits for the open (8 ms unless set; kept across
// FSOUND_Init and Shutdown). Tests that do not look at slow opens wait long, so that a
// loaded machine or a sanitizer gives them the result at once.
void SetOpenWaitForTests(int ms);

// ReplayGain: the loudness a song's tags state is evened out by a factor of its own,
// applied in the mix from its first sample on (also at a gapless join) and heard in the
// spectrum. A song without tags, or with ReplayGain off, plays exactly as it is.
struct ReplayGainRequest {
    bool on = false;
    // The files before and after it in the list's order (empty: none). When either lies
    // in the same folder and has the same album tag, not empty, its album gain is used;
    // otherwise its track gain. Their tags are read with the song's, off the caller's thread.
    std::string before;
    std::string after;
};
// FSOUND_Stream_Open with ReplayGain as asked.
FSOUND_STREAM* StreamOpen(const char* name, unsigned int mode, const ReplayGainRequest& replayGain);
// Switches the stream's ReplayGain on or off, from the next buffer mixed. Window thread.
void StreamSetReplayGain(FSOUND_STREAM* stream, bool on);
// The factor the stream's samples are multiplied by now: 1 while off, still opening, for
// a song without tags and for a null handle.
float StreamReplayGain(FSOUND_STREAM* stream);

// Opens what every song needs whatever its format (the spectrum's transform) on the
// decoder thread now, so that the first song does not wait for it. The program asks once
// its windows are on screen. Decoders themselves are opened by the first file of their
// kind.
void PreloadDecoding();
}
