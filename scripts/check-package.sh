#!/usr/bin/env bash
# Builds the package, installs it as a Debian user would, checks what it installed, and
# removes it again. Needs root (apt-get).
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
source "$top/scripts/deps.sh"
vexlin_install lintian desktop-file-utils appstream man-db bash-completion
deb="$("$top/scripts/package.sh" | tail -n 1)"
fail() { echo "package check failed: $*" >&2; exit 1; }

lintian --fail-on error,warning "$deb"
dpkg-deb -c "$deb" | grep -q ' ./usr/local' && fail "files under /usr/local"
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >/dev/null
trap 'DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq --purge vexlin >/dev/null' EXIT

[ "$(dpkg-query -W -f='${Status}' vexlin)" = "install ok installed" ] || fail "not installed"
/usr/bin/vexlin-dump --help | grep -q '^Usage: vexlin-dump' || fail "vexlin-dump --help"
sample="$(mktemp --suffix=.pdb)"
printf 'Sample\0' | head -c 78 > "$sample"; head -c 71 /dev/zero >> "$sample"
/usr/bin/vexlin-dump --header "$sample" | grep -q '^ Name:               Sample$' || fail "dump"
rm -f "$sample"
# A one-event datebook exported: the calendar writer loads libical, a dependency by name.
dates="$(mktemp --suffix=.pdb)"; out="$(mktemp -d)"
{ printf 'Dates'; head -c 55 /dev/zero; printf 'DATAdate'; head -c 8 /dev/zero
  printf '\0\1\0\0\0\x58\0\0\0\0\0\0\x0c\0\x0d\0\xf5\x8a\x04\0Lunch\0'; } > "$dates"
/usr/bin/vexlin-dump --export "$out" "$dates" || fail "calendar export"
grep -q '^SUMMARY:Lunch' "$out"/*.ics || fail "calendar export holds no event"
rm -rf "$dates" "$out"
for page in vexlin vexlin-dump; do
  file="/usr/share/man/man1/$page.1.gz"
  warnings="$(MANWIDTH=80 man --warnings -l "$file" 2>&1 >/dev/null)"
  [ -z "$warnings" ] || fail "$page(1): $warnings"
  MANWIDTH=80 man -l "$file" 2>/dev/null | grep -q "^EXIT STATUS" || fail "$page(1) renders"
done
desktop="/usr/share/applications/org.example.vexlin.desktop"
out="$(desktop-file-validate "$desktop" 2>&1)"; [ -z "$out" ] || fail "$out"
grep -q '^Exec=vexlin %F$' "$desktop" || fail "Exec does not take the files to open"
grep -q '^MimeType=application/vnd.palm;$' "$desktop" || fail "the desktop entry names no database type"
appstreamcli validate --no-net /usr/share/metainfo/org.example.vexlin.metainfo.xml
for size in 32 64 128 256; do
  [ -f "/usr/share/icons/hicolor/${size}x$size/apps/vexlin.png" ] || fail "icon $size"
done
[ -f /usr/share/icons/hicolor/scalable/apps/vexlin.svg ] || fail "scalable icon"
words="$(bash -c 'source /usr/share/bash-completion/bash_completion
  source /usr/share/bash-completion/completions/vexlin-dump
  COMP_WORDS=(vexlin-dump --su); COMP_CWORD=1; _vexlin_dump; echo "${COMPREPLY[*]}"')"
[ "$words" = "--summary" ] || fail "bash completion gave '$words'"
echo "package check passed: $(basename "$deb")"
