#pragma once
// The spectrum thread: every 80 ms it draws 30 bars of the library's spectrum over the
// player's 60 x 30 background and hands the frame to the player's canvas sink.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

class COgg;

class TOggThread {
public:
    // Starts running at once, one step below normal priority.
    explicit TOggThread(COgg* ogg);
    // Requests termination and waits for the thread to leave its loop.
    ~TOggThread();
    TOggThread(const TOggThread&) = delete;
    TOggThread& operator=(const TOggThread&) = delete;

    void Terminate();
    // The player opened a stream: the thread, asleep while nothing is open, draws again.
    void Wake();
    // Waits until the thread has ended; returns at once when it already has.
    void WaitFor();
    // True once Execute has returned (terminated, or ended on its own).
    bool Finished() const { return m_Finished.load(); }

    // Draws one frame: the background, then a bar per even spectrum bin 0..58 in
    // columns 59, 57, ..., 1. Pixels are BGRA, bottom row first. A null background
    // draws the bars over black.
    static void ComposeFrame(const float* spectrum, const std::uint8_t* backBits, std::uint8_t* frameBits);

    COgg* const m_pOgg;
    // Test seam: runs on the spectrum thread between drawing a frame and handing it
    // over. Set it before the thread has a stream to draw.
    std::function<void()> AfterCompose;

private:
    void Execute();

    std::atomic<bool> m_Terminated{false};
    std::atomic<bool> m_Finished{false};
    std::mutex m_sleepMutex;   // pairs with m_wake for the 80 ms sleep
    std::condition_variable m_wake;
    std::mutex m_joinMutex;    // makes WaitFor safe to call twice
    std::thread m_thread;
};
