#!/bin/sh
# Re-copies the icons listed in symbols.txt from the lucide-static npm package (ISC) into svg/,
# one file per symbol name, with the licence beside them. The build never needs npm: commit the
# copies. Usage: ./update-icons.sh [version]
set -eu
version="${1:-1.87.0}"
here="$(cd "$(dirname "$0")" && pwd)"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

(cd "$tmp" && npm pack --silent "lucide-static@$version" >/dev/null && tar xzf lucide-static-*.tgz)
rm -rf "$here/svg"
mkdir -p "$here/svg"
cp "$tmp/package/LICENSE" "$here/LICENSE"

grep -v '^#' "$here/symbols.txt" | while read -r symbol icon style; do
    [ -n "$symbol" ] || continue
    source="$tmp/package/icons/$icon.svg"
    if [ ! -f "$source" ]; then
        echo "no lucide icon '$icon' for symbol '$symbol'" >&2
        exit 1
    fi
    if [ "${style:-}" = "filled" ]; then
        sed 's/fill="none"/fill="currentColor"/' "$source" >"$here/svg/$symbol.svg"
    else
        cp "$source" "$here/svg/$symbol.svg"
    fi
done
echo "copied $(ls "$here/svg" | wc -l) icons from lucide-static $version"
