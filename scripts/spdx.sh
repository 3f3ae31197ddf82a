#!/bin/sh
# SPDX-License-Identifier: BSD-2-Clause
# Every source file carries the licence's SPDX line in its first three lines.
# Usage: scripts/spdx.sh [--fix] [SOURCE_DIR]   (--fix adds the line where it is missing)
set -eu
fix=0
[ "${1:-}" = "--fix" ] && { fix=1; shift; }
cd "${1:-$(dirname "$0")/..}"
tag='SPDX-License-Identifier: BSD-2-Clause'

sources() {
    if [ -d .git ] && command -v git >/dev/null; then
        git ls-files --cached --others --exclude-standard
    else
        find . -path ./build -prune -o -path ./.git -prune -o -path ./debian -prune -o -type f -print | sed 's|^\./||'
    fi | grep -E '(\.(c|cpp|h|in|sh|py|cmake|1)|(^|/)CMakeLists\.txt|^\.ci/run)$' | grep -v '^debian/' || true
}

comment_for() {
    case "$1" in
    *.c|*.h|*.h.in) echo "/* $tag */" ;;
    *.cpp) echo "// $tag" ;;
    *.1) echo ".\\\" $tag" ;;
    *) echo "# $tag" ;;
    esac
}

missing=0
for f in $(sources); do
    [ -f "$f" ] || continue
    head -n 3 "$f" | grep -q "$tag" && continue
    if [ "$fix" = 1 ]; then
        line=$(comment_for "$f")
        if head -n 1 "$f" | grep -q '^#!'; then
            { head -n 1 "$f"; echo "$line"; tail -n +2 "$f"; } >"$f.spdx"
        else
            { echo "$line"; cat "$f"; } >"$f.spdx"
        fi
        chmod --reference="$f" "$f.spdx" && mv "$f.spdx" "$f"
    else
        echo "no SPDX line: $f" >&2
        missing=$((missing + 1))
    fi
done
[ "$missing" -eq 0 ] || { echo "$missing file(s) without '$tag'" >&2; exit 1; }
