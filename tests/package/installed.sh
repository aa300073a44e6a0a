#!/usr/bin/env bash
# The package as a user gets it: installed with apt, the installed program used (a song's
# facts, the window on a song with its help (Qt adds " — Cantavo!" to captions on X11), the manual page, the shell's completion, the
# desktop's file types), the user's files kept in the user's folders, then purged, leaving no
# file of it behind.
#   tests/package/installed.sh cantavo_VERSION_ARCH.deb
# Needs a sound server (scripts/sound-server) and Xvfb; installs and removes the package.
set -euo pipefail
deb=$(realpath "${1:?usage: installed.sh PACKAGE.deb}")
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
fail() { echo "FAILED: $*" >&2; exit 1; }

if dpkg-query -W -f='${Status}' cantavo 2>/dev/null | grep -q 'install ok installed'; then
    echo "-- purging the cantavo installed before"
    $sudo apt-get purge -y -q cantavo >/dev/null
fi

echo "== apt-get install $(basename "$deb")"
$sudo apt-get install -y -q --no-install-recommends "$deb" | tail -3
mapfile -t owned < <(dpkg -L cantavo)
[ "$(command -v cantavo)" = /usr/bin/cantavo ] || fail "cantavo is not /usr/bin/cantavo"

# A user of the machine: fresh folders of their own.
home=$(mktemp -d)
xvfb=""
player=""
cleanup() {
    [ -n "$player" ] && kill "$player" 2>/dev/null || true
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
    rm -rf "$home"
}
trap cleanup EXIT
export HOME=$home
unset XDG_CONFIG_HOME XDG_DATA_HOME
stamp=$home/before
touch "$stamp"
sleep 1

echo "== the installed program"
song=/usr/share/cantavo/songs/twinkle.kar
title=$(cantavo --info --json "$song" | /usr/bin/python3 -c 'import json, sys; print(json.load(sys.stdin)["title"])')
echo "cantavo --info --json $song: \"$title\""
[ "$title" = "Twinkle, Twinkle, Little Star - Traditional" ] || fail "the demo song's title"
paths=$(cantavo --paths)
echo "$paths"
grep -qx "program directory: /usr/share/cantavo" <<<"$paths" || fail "the data are not found in /usr/share/cantavo"
grep -qx "preferences: $home/.config/cantavo/CANTAVO.INI" <<<"$paths" || fail "the preferences are not the user's"
cantavo --render "$song" "$home/twinkle.wav" >/dev/null
[ "$(stat -c %s "$home/twinkle.wav")" -gt 1000000 ] || fail "--render made no sound"

echo "== man -w cantavo: $(man -w cantavo)"
[ "$(man -w cantavo)" = /usr/share/man/man1/cantavo.1.gz ] || fail "the manual page"
MANWIDTH=100 man cantavo 2>/dev/null | grep -q -- "--rotation-add NAME SONG" || fail "the manual page does not read"

echo "== bash completion"
completed=$(bash -c '. /usr/share/bash-completion/bash_completion
    . /usr/share/bash-completion/completions/cantavo
    COMP_WORDS=(cantavo --rota); COMP_CWORD=1; COMP_LINE="cantavo --rota"; COMP_POINT=${#COMP_LINE}
    _cantavo cantavo --rota cantavo; echo "${COMPREPLY[*]}"')
echo "cantavo --rota<Tab>: $completed"
[ "$completed" = "--rotation --rotation-add" ] || fail "bash completion"

echo "== the desktop knows the program and its files"
grep -q "text/x-cantavo-list:\*.lst" /usr/share/mime/globs2 || fail "the song list's file type"
grep -q "text/x-cantavo-compilation:\*.cpl" /usr/share/mime/globs2 || fail "the compilation's file type"
grep -q "audio/x-karaoke=.*org.example.cantavo.desktop" /usr/share/applications/mimeinfo.cache || fail "songs are not opened with the program"
[ -f /usr/share/icons/hicolor/48x48/apps/cantavo.png ] || fail "the icon"

echo "== the window on a song, under Xvfb"
display=:$((200 + RANDOM % 100))
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 50); do xdpyinfo -display "$display" >/dev/null 2>&1 && break; sleep 0.1; done
DISPLAY=$display QT_QPA_PLATFORM=xcb cantavo "$song" >"$home/player.log" 2>&1 &
player=$!
window=$(DISPLAY=$display timeout 30 xdotool search --sync --onlyvisible --name "^$title" | head -1) || fail "no window captioned \"$title\""
echo "the window's caption: \"$(DISPLAY=$display xdotool getwindowname "$window")\""
DISPLAY=$display xdotool windowactivate --sync "$window" 2>/dev/null || DISPLAY=$display xdotool windowfocus --sync "$window"
# Help > Cantavo! Help, from the keyboard.
DISPLAY=$display xdotool key alt+h
sleep 0.5
DISPLAY=$display xdotool key h
help=$(DISPLAY=$display timeout 15 xdotool search --sync --onlyvisible --name "^Cantavo! Help" | head -1) || fail "Help > Cantavo! Help opened no help"
echo "Help > Cantavo! Help opened \"$(DISPLAY=$display xdotool getwindowname "$help")\""
kill -TERM "$player"
status=0
wait "$player" || status=$?
player=""
[ "$status" -eq 0 ] || { cat "$home/player.log"; fail "the player ended with $status"; }

# A song list, as the file manager opens one: the list editor shows it.
cantavo --catalogue /usr/share/cantavo/songs -o "$home/Songs.lst" >/dev/null
DISPLAY=$display QT_QPA_PLATFORM=xcb cantavo "$home/Songs.lst" >"$home/player.log" 2>&1 &
player=$!
DISPLAY=$display timeout 30 xdotool search --sync --onlyvisible --name "^Edit List / Compilation" >/dev/null || fail "the song list did not open in the list editor"
echo "cantavo Songs.lst opened the list editor"
kill -TERM "$player"
wait "$player" || fail "the player ended with $?"
player=""

echo "== the user's files are the user's"
cantavo --rotation-add Ana "$song" --key -2 >/dev/null
cantavo --rotation | grep -q "Ana" || fail "the rotation did not keep Ana"
[ -f "$home/.local/share/cantavo/rotation.sqlite" ] || fail "the rotation is not in ~/.local/share/cantavo"
[ -f "$home/.config/cantavo/CANTAVO.INI" ] || fail "no preferences in ~/.config/cantavo"
ls -A "$home/.config/cantavo" "$home/.local/share/cantavo"
written=$(find /usr /etc /var/lib/cantavo -xdev -newer "$stamp" \( -type f -o -type l \) -path '*cantavo*' 2>/dev/null || true)
[ -z "$written" ] || fail "the program wrote outside the user's folders: $written"
$sudo dpkg --verify cantavo || fail "files of the package were changed"

echo "== apt-get purge cantavo"
$sudo apt-get purge -y -q cantavo | tail -2
left=()
for f in "${owned[@]}"; do
    [ "$f" = /. ] && continue
    if [ -f "$f" ] || [ -L "$f" ]; then left+=("$f"); fi
done
[ -e /usr/share/cantavo ] && left+=(/usr/share/cantavo)
[ ${#left[@]} -eq 0 ] || fail "left behind: ${left[*]}"
! grep -q "x-cantavo" /usr/share/mime/globs2 || fail "the file types outlived the package"
! grep -q "org.example.cantavo.desktop" /usr/share/applications/mimeinfo.cache 2>/dev/null || fail "the menu entry outlived the package"
echo "purged: none of its ${#owned[@]} files and folders' files is left"
echo "installed package: all checks passed"
