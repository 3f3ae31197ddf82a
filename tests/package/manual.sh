#!/bin/sh
# SPDX-License-Identifier: BSD-2-Clause
# The manual against the tool: it lints clean, and every subcommand of "lusl --help" has a
# subsection (lusl SUB) and an example ($ lusl SUB), and every option of "lusl SUB --help"
# is described in that subsection or among the options every subcommand takes.
# Usage: manual.sh LUSL MANPAGE
set -eu
lusl=$1 page=$2
status=0
fail() { echo "manual: $*" >&2; status=1; }

lint=$(mandoc -T lint -W warning "$page" 2>&1) || true
[ -z "$lint" ] || fail "mandoc -T lint:
$lint"

text=$(mandoc -T ascii "$page" | sed "s/.\x08//g")
# A section of the rendered page: from its heading (".Sh" at column 0, ".Ss" at column 3)
# to the next heading of the same or a higher level.
section() {
    printf '%s\n' "$text" | awk -v h="$1" -v lvl="$2" '
        function level(l) { if (l ~ /^[^ ]/) return 1; if (l ~ /^   [^ ]/) return 2; return 0 }
        on && level($0) && level($0) <= lvl { exit }
        on { print }
        $0 == h || $0 == "   " h { on = 1 }'
}
# Options of a help text: the words starting with - before the description.
options() {
    awk '/^ *-/ { n = split($1, w, ","); for (i = 1; i <= n; i++) if (w[i] ~ /^-/) print w[i] }' |
        grep -vx -e -h -e --help || true
}
has() { printf '%s\n' "$1" | grep -Eq -- "(^|[^A-Za-z0-9-])$2([^A-Za-z0-9-]|\$)"; }
# An option is described when it heads an item of a list (".It Fl ..."), alone or with its
# other spellings: "     -c, --count count".
described() { printf '%s\n' "$1" | grep -Eq -- "^     (-[^ ,]+( [^ ,-][^ ,]*)?, )*$2( |,|\$)"; }

global=$(section OPTIONS 1)
examples=$(section EXAMPLES 1)
subs=$("$lusl" --help | awk '/^Subcommands:/ { on = 1; next } on && /^  [a-z]/ { print $1 }')
[ -n "$subs" ] || fail "no subcommands in lusl --help"
for opt in $("$lusl" --help | options); do
    described "$global" "$opt" || fail "$opt (lusl --help) is not under OPTIONS"
done
for sub in $subs; do
    body=$(section "lusl $sub" 2)
    if [ -z "$body" ]; then
        fail "no subsection 'lusl $sub'"
        continue
    fi
    has "$examples" "\\\$ lusl $sub" || fail "no example of 'lusl $sub' under EXAMPLES"
    for opt in $("$lusl" "$sub" --help | options); do
        described "$body" "$opt" || described "$global" "$opt" || fail "$opt of 'lusl $sub' is not documented"
    done
done
[ "$status" -eq 0 ] && echo "manual: $(echo $subs | wc -w) subcommands, every option documented"
exit "$status"
