#!/usr/bin/env bash
# Each folder includes only the folders below it (and the seams it implements);
# a test run fails on the first include that runs up or sideways.
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"

# folder: the folders its files may include
allowed() {
    case "$1" in
        core) echo "core" ;;
        settings) echo "core settings" ;;
        manager) echo "core settings manager" ;;
        input) echo "core settings manager input" ;;
        feedback) echo "core settings manager input feedback" ;;
        ipc) echo "core settings manager input feedback ipc" ;;
        updates) echo "core settings manager input feedback updates" ;;
        ui) echo "core settings manager input feedback ui" ;;
        app) echo "core settings manager input feedback ipc updates ui app platform/sim platform/x11" ;;
        platform/sim) echo "core platform/sim" ;;
        platform/x11) echo "core settings input platform/x11" ;;
    esac
}

bad=0
for folder in core settings manager input feedback ipc updates ui app platform/sim platform/x11; do
    [ -d "$folder" ] || continue
    ok=" $(allowed "$folder") "
    while IFS= read -r hit; do
        file=${hit%%:*}
        target=$(sed -E 's/.*#include "([^"]+)".*/\1/' <<<"$hit")
        dir=$(dirname "$target")
        [ "$dir" = . ] && continue
        if [[ "$ok" != *" $dir "* ]]; then
            echo "$file includes $target: $folder may include only$(allowed "$folder" | sed 's/^/ /')"
            bad=1
        fi
    done < <(grep -rHE '^#include "[^"]+/' "$folder" --include='*.h' --include='*.cpp' || true)
done
exit $bad
