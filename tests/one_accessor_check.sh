#!/bin/sh
# What the program is made of is owned by `Program` and handed to what uses it: no source
# declares a global object (an `extern` variable), and the one instance below the windows
# that any layer reaches without being handed it, the message seam of the design's free
# box functions, is reached only from those functions. Prints what breaks that and fails.
src=${1:?usage: one_accessor_check.sh SRC_DIR}
cd "$src" || exit 2
status=0

# A constant (`extern const T name;`, no pointer) holds no state and is not one: the
# output drivers' tables of functions are such constants.
#
# Two are process-wide on purpose and named here: the audio library's `FSOUND_` calls are
# free functions with no handle, as the library's interface has them, so the one library
# they act on is reached through `g_library` (PlaybackEngine starts and ends it; it is
# atomic because the decoder and device threads look at it), and `g_openWaitMs`, its
# open timeout, is set by tests before the library starts and kept across starts.
allowed='^\./engine/Library\.h:[0-9]+:extern std::atomic<(Library\*> g_library|int> g_openWaitMs);$'
globals=$(grep -rnE '^[[:space:]]*extern[[:space:]]+[A-Za-z_][A-Za-z0-9_:<>,*& ]*[*& ]+[A-Za-z_][A-Za-z0-9_]*[[:space:]]*(\[[^]]*\])?;' \
    --include='*.h' --include='*.cpp' . | grep -vE ':[[:space:]]*extern[[:space:]]+(const|constexpr)[[:space:]][^*]*;' \
    | grep -vE "$allowed")
if [ -n "$globals" ]; then
    echo "global objects:"
    echo "$globals"
    status=1
fi

callers=$(grep -rl 'MessageSeamInstance' --include='*.h' --include='*.cpp' . | sort | tr '\n' ' ')
if [ "$callers" != "./base/G.cpp ./base/G.h " ]; then
    echo "the message seam is reached from: $callers(only base/G.cpp may)"
    status=1
fi
exit $status
