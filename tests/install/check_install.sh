#!/usr/bin/env bash
# Installs the build into a folder of its own and checks that the installed program finds
# its data and keeps its preferences in the user's configuration folder.
set -euo pipefail
build=$1
prefix=$(mktemp -d)
config=$(mktemp -d)
trap 'rm -rf "$prefix" "$config"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
for f in bin/cantavo share/cantavo/cantavo.mid share/cantavo/CANTAVO.INI share/cantavo/CANTAVO.HLP share/cantavo/16-1-44.wav \
         share/cantavo/applause.wav share/cantavo/songs/twinkle.kar share/applications/cantavo.desktop \
         share/metainfo/cantavo.metainfo.xml share/mime/packages/cantavo.xml share/icons/hicolor/scalable/apps/cantavo.svg; do
    [ -e "$prefix/$f" ] || { echo "not installed: $f"; exit 1; }
done
out=$(XDG_CONFIG_HOME="$config" "$prefix/bin/cantavo" --paths)
echo "$out"
grep -q "program directory: $prefix/share/cantavo" <<<"$out"
grep -q "preferences: $config/cantavo/CANTAVO.INI" <<<"$out"
cmp "$prefix/share/cantavo/CANTAVO.INI" "$config/cantavo/CANTAVO.INI"
"$prefix/bin/cantavo" --info "$prefix/share/cantavo/songs/twinkle.kar" | grep -q "Twinkle, Twinkle, Little Star"
if command -v desktop-file-validate >/dev/null; then desktop-file-validate "$prefix/share/applications/cantavo.desktop"; fi
