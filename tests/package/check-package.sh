#!/usr/bin/env bash
# Builds the Debian package, validates what it installs, unpacks it into a scratch folder and starts
# the unpacked program.
set -euo pipefail
build_dir="$1"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

(cd "$build_dir" && cpack -G DEB -B "$scratch/out" >/dev/null)
deb="$(ls "$scratch"/out/*.deb)"
# Read once: "grep -q" leaves at its first match, and under pipefail the writer's SIGPIPE fails the test.
info="$(dpkg-deb --info "$deb")"
grep -E "^ (Package|Depends|Recommends):" <<<"$info"
grep -q "^ Depends:.*libqt6widgets6" <<<"$info" || { echo "Depends lacks Qt Widgets"; exit 1; }
grep -q "^ Depends:.*libqt6sql6-sqlite" <<<"$info" || { echo "Depends lacks the SQLite driver of the roll history"; exit 1; }
grep -q "^ Recommends:.*libreoffice-calc.*fonts-liberation2" <<<"$info" ||
    { echo "Recommends lacks LibreOffice Calc or the fonts"; exit 1; }

root="$scratch/root"
dpkg-deb -x "$deb" "$root"
for file in usr/bin/quorvin-tessaly \
    usr/share/applications/org.example.QuorvinTessaly.desktop \
    usr/share/metainfo/org.example.QuorvinTessaly.metainfo.xml \
    usr/share/icons/hicolor/scalable/apps/org.example.QuorvinTessaly.svg \
    usr/share/icons/hicolor/48x48/apps/org.example.QuorvinTessaly.png \
    usr/share/quorvin-tessaly/HAND-M.CUR; do
    [[ -e "$root/$file" ]] || { echo "missing from the package: $file"; exit 1; }
done
desktop-file-validate "$root/usr/share/applications/org.example.QuorvinTessaly.desktop"
appstreamcli validate --no-net --pedantic "$root/usr/share/metainfo/org.example.QuorvinTessaly.metainfo.xml" ||
    appstreamcli validate --no-net "$root/usr/share/metainfo/org.example.QuorvinTessaly.metainfo.xml"

answer="$("$root/usr/bin/quorvin-tessaly" --version)"
[[ "$answer" == "Quorvin Tessaly "?* ]] || { echo "--version answers: $answer"; exit 1; }
version="${answer#Quorvin Tessaly }"
# Software centres show the release and the picture: the metainfo must keep up with the version.
metainfo="$root/usr/share/metainfo/org.example.QuorvinTessaly.metainfo.xml"
grep -q "<release version=\"$version\"" "$metainfo" || { echo "the metainfo lacks a release entry for $version"; exit 1; }
grep -q "<screenshot type=\"default\">" "$metainfo" || { echo "the metainfo lacks its screenshot"; exit 1; }

# Start the unpacked program with its own settings folder; it must come up and close cleanly on SIGTERM.
export XDG_CONFIG_HOME="$scratch/config"
export QT_QPA_PLATFORM=offscreen
"$root/usr/bin/quorvin-tessaly" >"$scratch/program.log" 2>&1 &
pid=$!
conf="$XDG_CONFIG_HOME/Calverin/Quorvin Tessaly.conf"
for _ in $(seq 600); do  # a minute, for a loaded machine
    [[ -f "$conf" ]] && grep -q "^Text2=" "$conf" && break
    kill -0 "$pid" 2>/dev/null || { echo "the unpacked program ended early"; exit 1; }
    sleep 0.1
done
grep -q "^Text2=" "$conf" 2>/dev/null || { echo "the unpacked program did not start"; kill -KILL "$pid"; wait "$pid" || true; exit 1; }
kill -TERM "$pid"
wait "$pid"
grep -q "^Dice=" "$conf"
echo "package ok"
