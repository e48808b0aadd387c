#!/usr/bin/env bash
# Times `quorvin-tessaly roll` against the one-line shell peer making the same rows, in turns within one
# run, so that both see the same machine: ROLLS rolls of 3 dice over six 3-letter labels, to /dev/null.
# Then, where GNU time is installed, the command line's peak memory for 10 and for 100,000,000 rolls.
#
#   bench/roll-vs-shuf.sh PROGRAM [ROLLS] [RUNS]     (defaults: 30000000 rolls, 5 runs of each)
set -euo pipefail

program="${1:?usage: roll-vs-shuf.sh PROGRAM [ROLLS] [RUNS]}"
rolls="${2:-30000000}"
runs="${3:-5}"
for tool in shuf mawk; do
    command -v "$tool" >/dev/null || { echo "roll-vs-shuf.sh: $tool is missing (apt-get install $tool)" >&2; exit 1; }
done

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
sides="$work/sides.txt"
printf '%s\n' abc def ghi jkl mno pqr >"$sides"

roll() { "$program" roll --sides "$sides" --dice 3 --rolls "$1"; }
peer() { shuf -r -n "$(($1 * 3))" "$sides" | mawk 'ORS=NR%3?" - ":"\n"'; }

# Both make the same rows: three of the labels joined by " - ", one roll a line.
for maker in roll peer; do
    if ! "$maker" 1000 | mawk '!/^[a-r][a-r][a-r] - [a-r][a-r][a-r] - [a-r][a-r][a-r]$/ { bad = 1 } END { exit bad || NR != 1000 }'; then
        echo "roll-vs-shuf.sh: $maker does not make 1000 rows of 3 labels" >&2
        exit 1
    fi
done

seconds() {
    local start=$EPOCHREALTIME
    "$@" >/dev/null
    mawk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.3f\n", b - a }'
}
median() { sort -g | mawk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

echo "$rolls rolls x 3 dice over six labels to /dev/null, $runs runs each, in turns (wall seconds):"
for ((run = 1; run <= runs; run++)); do
    a=$(seconds roll "$rolls")
    b=$(seconds peer "$rolls")
    echo "$a $b" >>"$work/times"
    printf '  run %d: roll %s  shuf|mawk %s  (%.1fx)\n' "$run" "$a" "$b" "$(mawk -v a="$a" -v b="$b" 'BEGIN { print b / a }')"
done
rollMedian=$(cut -d' ' -f1 "$work/times" | median)
peerMedian=$(cut -d' ' -f2 "$work/times" | median)
pairMedian=$(mawk '{ print $2 / $1 }' "$work/times" | median)
printf 'median: roll %s s, shuf|mawk %s s; roll is %.1fx faster (median of the pairs: %.1fx)\n' \
    "$rollMedian" "$peerMedian" "$(mawk -v a="$rollMedian" -v b="$peerMedian" 'BEGIN { print b / a }')" "$pairMedian"

if [[ -x /usr/bin/time ]]; then
    for count in 10 100000000; do
        /usr/bin/time -f "peak memory for $count rolls: %M kB" "$program" roll --sides "$sides" --dice 3 \
            --rolls "$count" >/dev/null
    done
else
    echo "(GNU time is not installed: no peak memory figures; apt-get install time)"
fi
