#pragma once
// Single-producer, single-consumer ring of float samples. The producer (the decoder thread)
// writes, the consumer (device callback) reads; neither blocks. reset() needs both
// sides excluded by the caller.

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <vector>

namespace fsound {

class SampleRing {
public:
    explicit SampleRing(std::size_t capacity)
    {
        std::size_t size = 1;
        while (size < capacity)
            size <<= 1;
        m_data.assign(size, 0.0f);
        m_mask = size - 1;
    }

    std::size_t capacity() const { return m_data.size(); }

    std::size_t readable() const
    {
        return m_write.load(std::memory_order_acquire) - m_read.load(std::memory_order_relaxed);
    }

    std::size_t writable() const
    {
        return capacity() - (m_write.load(std::memory_order_relaxed) - m_read.load(std::memory_order_acquire));
    }

    // Producer side. Returns how many samples were taken.
    std::size_t write(const float* src, std::size_t count)
    {
        const std::size_t w = m_write.load(std::memory_order_relaxed);
        count = std::min(count, writable());
        for (std::size_t i = 0; i < count; ++i)
            m_data[(w + i) & m_mask] = src[i];
        m_write.store(w + count, std::memory_order_release);
        return count;
    }

    // Consumer side. Returns how many samples were copied.
    std::size_t read(float* dst, std::size_t count)
    {
        const std::size_t r = m_read.load(std::memory_order_relaxed);
        count = std::min(count, readable());
        for (std::size_t i = 0; i < count; ++i)
            dst[i] = m_data[(r + i) & m_mask];
        m_read.store(r + count, std::memory_order_release);
        return count;
    }

    void reset()
    {
        m_read.store(0, std::memory_order_relaxed);
        m_write.store(0, std::memory_order_relaxed);
    }

private:
    std::vector<float> m_data;
    std::size_t m_mask = 0;
    std::atomic<std::size_t> m_read{0};
    std::atomic<std::size_t> m_write{0};
};

} // namespace fsound
