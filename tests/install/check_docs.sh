#!/usr/bin/env bash
# Every option the program's --help lists is in the manual page and completed by bash; the
# changelog's newest entry is this version's.
#   check_docs.sh CANTAVO SOURCE_DIR
set -euo pipefail
cantavo=$1
src=$2
mapfile -t options < <("$cantavo" --help | grep -oE -- '--[a-z][a-z-]+' | sort -u)
[ ${#options[@]} -gt 30 ] || { echo "only ${#options[@]} options found in --help"; exit 1; }
missing=0
for o in "${options[@]}"; do
    roff=${o//-/\\-}
    grep -qF -- "$roff" "$src/data/cantavo.1" || { echo "the manual page lacks $o"; missing=1; }
    grep -qE -- "(^|[ '])$o( |'|$)" "$src/data/cantavo.bash-completion" || { echo "bash completion lacks $o"; missing=1; }
done
version=$("$cantavo" --version | grep -oE '[0-9]+\.[0-9]+\.[0-9]+')
head -1 "$src/data/changelog" | grep -qF "cantavo ($version)" || { echo "the changelog's newest entry is not $version"; missing=1; }
grep -qF "Cantavo! $version" "$src/data/cantavo.1" || { echo "the manual page is not of $version"; missing=1; }
echo "${#options[@]} options, all documented and completed"
exit $missing
