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
globals=$(grep -rnE '^[[:space:]]*extern[[:space:]]+[A-Za-z_][A-Za-z0-9_:<>, ]*[*& ]+[A-Za-z_][A-Za-z0-9_]*[[:space:]]*(\[[^]]*\])?;' \
    --include='*.h' --include='*.cpp' . | grep -vE ':[[:space:]]*extern[[:space:]]+(const|constexpr)[[:space:]][^*]*;')
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
