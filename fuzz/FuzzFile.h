#pragma once
// The readers of music files take a path: the fuzzer's bytes become a file in memory
// that they open by its /proc name.

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

class FuzzFile {
public:
    FuzzFile(const std::uint8_t* data, std::size_t size)
    {
        m_fd = ::memfd_create("fuzz", 0);
        if (m_fd < 0)
            __builtin_trap();
        for (std::size_t done = 0; done < size;) {
            const ssize_t wrote = ::write(m_fd, data + done, size - done);
            if (wrote <= 0)
                __builtin_trap();
            done += static_cast<std::size_t>(wrote);
        }
        m_path = "/proc/self/fd/" + std::to_string(m_fd);
    }
    ~FuzzFile() { ::close(m_fd); }
    FuzzFile(const FuzzFile&) = delete;
    FuzzFile& operator=(const FuzzFile&) = delete;

    const std::string& path() const { return m_path; }

private:
    int m_fd = -1;
    std::string m_path;
};

// Opens, decodes a little, seeks into the middle and decodes again: the paths a damaged
// file takes through a decoder.
template <typename Backend>
void DecodeSome(Backend& decoder, const std::string& path)
{
    if (!decoder.open(path, 0))
        return;
    std::vector<float> out;
    for (int i = 0; i < 8 && decoder.decode(out); ++i) {
    }
    const std::int64_t length = decoder.lengthFrames();
    decoder.seekFrame(length > 0 ? length / 2 : 1000);
    out.clear();
    for (int i = 0; i < 4 && decoder.decode(out); ++i) {
    }
}
