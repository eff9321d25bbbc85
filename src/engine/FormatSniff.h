#pragma once
// Which decoder a file goes to first, told from its first bytes (the name is asked only
// where the bytes say nothing). Anything not recognised goes to FFmpeg, which also takes
// every file a dedicated decoder refuses.

#include "DecodeModule.h"

#include <string>

namespace fsound {

DecoderKind SniffDecoderKind(const std::string& path);

} // namespace fsound
