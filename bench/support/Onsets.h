#pragma once
// When sound first reached a recorder: reads s16le stereo 44.1 kHz sound that a
// recorder (parec on a null sink's monitor) wrote until it was stopped at `endNs`, and
// gives, for each moment in `fromNs`, the ms from it to the first sound after it
// (negative when none). All times on one clock.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace bench {

inline std::vector<double> OnsetsMs(const std::string& rawPath, long long endNs, const std::vector<long long>& fromNs)
{
    std::ifstream in(rawPath, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::int16_t> samples(bytes.size() / 2);
    std::copy_n(bytes.data(), samples.size() * 2, reinterpret_cast<char*>(samples.data()));
    const long long frames = static_cast<long long>(samples.size() / 2);
    const long long startNs = endNs - frames * 1000000000LL / 44100;
    std::vector<double> onsets;
    for (const long long from : fromNs) {
        double ms = -1;
        for (long long f = std::max(0LL, (from - startNs) * 44100 / 1000000000LL); f < frames; ++f) {
            if (std::abs(samples[2 * f]) > 300 || std::abs(samples[2 * f + 1]) > 300) {
                ms = static_cast<double>(startNs + f * 1000000000LL / 44100 - from) / 1e6;
                break;
            }
        }
        onsets.push_back(ms);
    }
    return onsets;
}

} // namespace bench
