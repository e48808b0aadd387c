#!/usr/bin/env bash
# Fails when a file under src/ includes a folder above its own layer, or when src/ holds a folder that
# has no layer in the list below:
#   platform < core < subsystems < desktop < shell < app.
# Subsystems may include each other, but never both ways round.
#
#   check-layers.sh SRC_DIR     checks the tree
#   check-layers.sh --self-test checks that an upward include, a cycle and an unknown folder are caught
set -uo pipefail

# Every folder of src/ and its layer, one a line: a new feature folder is one more line at layer 2.
declare -A layer=(
    [platform]=0
    [core]=1
    [dice]=2
    [roll]=2
    [results]=2
    [stats]=2
    [cli]=2
    [library]=2
    [history]=2
    [bag]=2
    [presenter]=2
    [desktop]=3 # the dialogs over Qt Widgets: for the windows, never for a subsystem
    [shell]=4
    [app]=5
)

check() {
    local src="$1" status=0 file folder target edges=""
    for folder in "$src"/*/; do
        folder="${folder%/}"
        folder="${folder##*/}"
        if [[ -z "${layer[$folder]:-}" ]]; then
            echo "folder without a layer: $folder/ (give it one in ${BASH_SOURCE[0]##*/})" >&2
            status=1
        fi
    done
    ((status == 0)) || return $status
    while IFS=: read -r file target; do
        folder="${file#"$src"/}"
        folder="${folder%%/*}"
        [[ "$target" == "$folder" ]] && continue
        [[ -d "$src/$target" ]] || continue
        if ((layer[$target] > layer[$folder])); then
            echo "upward include: ${file#"$src"/} includes $target/" >&2
            status=1
        elif ((layer[$target] == 2)); then
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

# Each case: what the tree gains, then whether the check must still pass.
if [[ "${1:-}" == "--self-test" ]]; then
    tree="$(mktemp -d)"
    trap 'rm -rf "$tree"' EXIT
    mkdir -p "$tree"/{platform,core,dice,roll,cli,desktop,shell,app}
    echo '#include "platform/A.h"' >"$tree/core/B.h"
    echo '#include "dice/C.h"' >"$tree/roll/D.h"
    echo '#include "desktop/H.h"' >"$tree/shell/I.h"
    check "$tree" 2>/dev/null || { echo "self-test: a sound tree was refused" >&2; exit 1; }
    expectFailure() {
        if check "$tree" 2>/dev/null; then echo "self-test: $1 passed" >&2; exit 1; fi
    }
    echo '#include "shell/E.h"' >"$tree/core/F.cpp"
    expectFailure "an upward include"
    rm "$tree/core/F.cpp"
    echo '#include "desktop/H.h"' >"$tree/cli/J.cpp"
    expectFailure "a subsystem including the dialogs"
    rm "$tree/cli/J.cpp"
    echo '#include "roll/D.h"' >"$tree/dice/G.h"
    expectFailure "a cycle between subsystems"
    rm "$tree/dice/G.h"
    mkdir "$tree/scratch"
    expectFailure "a folder without a layer"
    exit 0
fi
check "${1:?usage: check-layers.sh SRC_DIR | --self-test}"
