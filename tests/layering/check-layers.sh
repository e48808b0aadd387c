#!/usr/bin/env bash
# Fails when a file under src/ includes a folder above its own layer:
#   platform < core < subsystems (dice, roll, results, library and any other folder) < shell < app.
# Subsystems may include each other, but never both ways round.
#
#   check-layers.sh SRC_DIR     checks the tree
#   check-layers.sh --self-test checks that an upward include and a cycle are caught
set -uo pipefail

rank() {
    case "$1" in
    platform) echo 0 ;; core) echo 1 ;; shell) echo 3 ;; app) echo 4 ;; *) echo 2 ;;
    esac
}

check() {
    local src="$1" status=0 file folder target edges=""
    while IFS=: read -r file target; do
        folder="${file#"$src"/}"
        folder="${folder%%/*}"
        [[ "$target" == "$folder" ]] && continue
        [[ -d "$src/$target" ]] || continue
        if (($(rank "$target") > $(rank "$folder"))); then
            echo "upward include: ${file#"$src"/} includes $target/" >&2
            status=1
        elif (($(rank "$target") == 2)); then
            edges+="$folder $target"$'\n'
        fi
    done < <(grep -rHoE '^#include "[A-Za-z_]+/' "$src" --include='*.h' --include='*.cpp' |
        sed -E 's#:\#include "([A-Za-z_]+)/$#:\1#')
    while read -r from to; do
        [[ -n "$from" ]] || continue
        if grep -qx "$to $from" <<<"$edges"; then
            echo "subsystems include each other: $from and $to" >&2
            status=1
        fi
    done <<<"$(sort -u <<<"$edges")"
    return $status
}

if [[ "${1:-}" == "--self-test" ]]; then
    tree="$(mktemp -d)"
    trap 'rm -rf "$tree"' EXIT
    mkdir -p "$tree"/{platform,core,dice,roll,shell}
    echo '#include "platform/A.h"' >"$tree/core/B.h"
    echo '#include "dice/C.h"' >"$tree/roll/D.h"
    check "$tree" 2>/dev/null || { echo "self-test: a sound tree was refused" >&2; exit 1; }
    echo '#include "shell/E.h"' >"$tree/core/F.cpp"
    if check "$tree" 2>/dev/null; then echo "self-test: an upward include passed" >&2; exit 1; fi
    rm "$tree/core/F.cpp"
    echo '#include "roll/D.h"' >"$tree/dice/G.h"
    if check "$tree" 2>/dev/null; then echo "self-test: a cycle between subsystems passed" >&2; exit 1; fi
    exit 0
fi
check "${1:?usage: check-layers.sh SRC_DIR | --self-test}"
