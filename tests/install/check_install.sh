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
         share/cantavo/applause.wav share/cantavo/songs/twinkle.kar share/applications/org.example.cantavo.desktop \
         share/metainfo/org.example.cantavo.metainfo.xml share/mime/packages/cantavo.xml share/icons/hicolor/scalable/apps/cantavo.svg \
         share/icons/hicolor/48x48/apps/cantavo.png share/man/man1/cantavo.1.gz share/bash-completion/completions/cantavo \
         share/doc/cantavo/copyright share/doc/cantavo/changelog.gz; do
    [ -e "$prefix/$f" ] || { echo "not installed: $f"; exit 1; }
done
out=$(XDG_CONFIG_HOME="$config" "$prefix/bin/cantavo" --paths)
echo "$out"
grep -q "program directory: $prefix/share/cantavo" <<<"$out"
grep -q "preferences: $config/cantavo/CANTAVO.INI" <<<"$out"
cmp "$prefix/share/cantavo/CANTAVO.INI" "$config/cantavo/CANTAVO.INI"
"$prefix/bin/cantavo" --info "$prefix/share/cantavo/songs/twinkle.kar" | grep -q "Twinkle, Twinkle, Little Star"
if command -v desktop-file-validate >/dev/null; then desktop-file-validate "$prefix/share/applications/org.example.cantavo.desktop"; fi
