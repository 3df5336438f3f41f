#!/usr/bin/env bash
# Checks the Debian package as Debian's tools and a user would see it:
#   check_package.sh DEB
# - lintian reports no error and no warning (informational tags are counted);
# - unpacked into a throwaway root (dpkg -x): kavrctl --version and list run
#   from its /usr/bin, both man pages render and kavrctl's names every
#   command its --help lists, the recorder exports the stand-in's entries,
#   and the README, the examples, the copyright file and the changelog are
#   where Debian users look for them.
# The last line sums it up.
set -euo pipefail
deb=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
  echo "FAILED: $*" >&2
  exit 1
}

# lintian's tags, one a line: "E: kavrtest: tag-name detail".
lintian --display-info "$deb" >"$work/lintian.log" 2>&1 || true
cat "$work/lintian.log"
count() { grep -c "^$1: " "$work/lintian.log" || true; }
errors=$(count E)
warnings=$(count W)
infos=$(count I)
[ "$errors" -eq 0 ] && [ "$warnings" -eq 0 ] || fail "lintian: $errors errors, $warnings warnings"

root="$work/root"
dpkg -x "$deb" "$root"
bin="$root/usr/bin"
doc="$root/usr/share/doc/kavrtest"
version=$("$bin/kavrctl" --version)
[[ $version == "kavrctl "[0-9]* ]] || fail "kavrctl --version printed \"$version\""
mkdir -p "$work/flash" "$work/state"
KAVR_SIM_FLASH_DIR="$work/flash" KAVR_SIM_STATE_DIR="$work/state" KAVR_SIM_DEVICES=2 \
  "$bin/kavrctl" list >"$work/list.txt" || fail "kavrctl list from the unpacked package failed"
[ "$(wc -l <"$work/list.txt")" -eq 2 ] || fail "kavrctl list did not list the stand-in's two controllers"

# The commands as --help lists them: the indented names under "Subcommands:".
"$bin/kavrctl" --help | sed -n '/^Subcommands:/,/^$/p' | sed -n -E 's/^  ([a-z-]+) .*/\1/p' >"$work/commands.txt"
[ "$(wc -l <"$work/commands.txt")" -ge 10 ] || fail "kavrctl --help lists $(wc -l <"$work/commands.txt") commands"
pages=0
for program in kavrctl kavrtest; do
  [ -x "$bin/$program" ] || continue
  MANWIDTH=100 man -l "$root/usr/share/man/man1/$program.1.gz" 2>/dev/null | col -b >"$work/$program.txt"
  grep -q "^NAME" "$work/$program.txt" || fail "man -l $program.1.gz shows no NAME section"
  grep -q -- "--version" "$work/$program.txt" || fail "the $program page lacks its options"
  pages=$((pages + 1))
done
while read -r command; do
  grep -q -E "^ +$command( |$)" "$work/kavrctl.txt" || fail "the kavrctl page does not list the command $command"
done <"$work/commands.txt"

exports() { nm -D --defined-only "$1" | awk '{print $3}' | sort; }
exports "$root/usr/lib/kavrtest/recorder/KAVRVBDLL.so" >"$work/recorder-exports.txt"
exports "$root/usr/lib/kavrtest/KAVRVBDLL.so" >"$work/stand-in-exports.txt"
[ -s "$work/recorder-exports.txt" ] || fail "the recorder exports nothing"
diff -u "$work/stand-in-exports.txt" "$work/recorder-exports.txt" ||
  fail "the recorder's exports differ from the stand-in's"

for file in README.md copyright changelog.gz; do
  [ -f "$doc/$file" ] || fail "no /usr/share/doc/kavrtest/$file"
done
examples=$(find "$doc/examples" -name '*.json' | wc -l)
[ "$examples" -gt 0 ] || fail "no examples in /usr/share/doc/kavrtest/examples"

echo "lintian: 0 errors, 0 warnings, $infos informational; unpacked: $version, $pages man pages ($(wc -l <"$work/commands.txt") commands in kavrctl's), recorder exports $(wc -l <"$work/recorder-exports.txt") entries, $examples examples"
