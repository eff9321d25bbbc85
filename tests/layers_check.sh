#!/bin/sh
# Each folder of src/ includes only from itself and the folders below it:
#   base < engine < system < ui/styled, ui/docking, ui/tray < ui/playlist < ui/player < app
# A header is found by its name, so an include is charged to the folder that holds the file
# of that name. Prints every upward include and fails when there is one.
src=${1:?usage: layers_check.sh SRC_DIR}
cd "$src" || exit 2

rank() {
    case $1 in
        base) echo 0 ;; engine) echo 1 ;; system) echo 2 ;;
        ui/styled|ui/docking|ui/tray) echo 3 ;; ui/playlist) echo 4 ;; ui/player) echo 5 ;;
        app) echo 6 ;; *) echo 99 ;;
    esac
}

# The folder that holds each header name.
owners=$(find . -name '*.h' -o -name '*.def' | sed 's#^\./##' | awk -F/ '{n=$NF; sub("/[^/]*$",""); print n" "$0}')

status=0
for file in $(find . -name '*.cpp' -o -name '*.h' | sed 's#^\./##' | sort); do
    folder=${file%/*}
    mine=$(rank "$folder")
    [ "$mine" = 99 ] && { echo "unranked folder: $folder"; status=1; continue; }
    for name in $(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file"); do
        owner=$(printf '%s\n' "$owners" | awk -v n="$name" '$1 == n {print $2; exit}')
        [ -z "$owner" ] && continue  # generated (moc) or a file of the same folder's build
        [ "$owner" = "$folder" ] && continue
        theirs=$(rank "$owner")
        # Beside: two folders of one rank do not include each other either.
        if [ "$theirs" -ge "$mine" ]; then
            echo "$file includes $name from $owner"
            status=1
        fi
    done
done
exit $status
