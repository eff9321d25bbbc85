#pragma once
// The one bound on what leaves the engine, whatever a decoder hands over: a damaged
// file's decoder can put out samples far outside full scale (1e8 has been seen), or NaN
// and infinity. Every stream's samples pass it in the mix after any gain of the song's
// own and before the volume, so no output, whether it applies the volume itself or
// not, is driven past the level its volume allows; the sum of all streams passes it
// again.

#include <algorithm>
#include <cmath>

namespace fsound {

inline float FullScale(float sample)
{
    return std::isfinite(sample) ? std::clamp(sample, -1.0f, 1.0f) : 0.0f;
}

} // namespace fsound
