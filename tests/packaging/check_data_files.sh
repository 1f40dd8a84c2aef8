#!/usr/bin/env bash
# The desktop entries, the metainfo and the manual page as desktops, software centres and man
# read them: no warning from any of their checkers.
set -euo pipefail
source_dir="$1"
status=0
fail() {
  echo "FAIL: $*" >&2
  status=1
}

for entry in "$source_dir"/platform/qt/data/*.desktop; do
  out="$(desktop-file-validate "$entry" 2>&1)" || fail "desktop-file-validate $entry"
  [ -z "$out" ] || fail "desktop-file-validate $entry: $out"
  for key in TryExec=quillmere Exec=quillmere Icon=quillmere; do
    grep -qx "$key" "$entry" || fail "$entry lacks $key"
  done
done

metainfo="$source_dir/packaging/org.quillmere.Quillmere.metainfo.xml"
out="$(appstreamcli validate --no-net --no-color "$metainfo" 2>&1)" || fail "appstreamcli: $out"
if grep -Eq '^[EW]:' <<<"$out"; then fail "appstreamcli: $out"; fi
grep -q '<launchable type="desktop-id">quillmere.desktop</launchable>' "$metainfo" ||
  fail "the metainfo does not launch quillmere.desktop"

manual="$source_dir/packaging/quillmere.1"
out="$(LC_ALL=C.UTF-8 groff -man -ww -z "$manual" 2>&1)"
[ -z "$out" ] || fail "groff: $out"
text="$(MANWIDTH=80 LC_ALL=C.UTF-8 man -l "$manual" 2>&1)" || fail "man -l $manual"
for section in SYNOPSIS DESCRIPTION OPTIONS EFFECTS "KEYS AND GESTURE" "EXIT STATUS" \
  ENVIRONMENT FILES "SESSIONS AND PERMISSIONS"; do
  grep -qx "$section" <<<"$text" || fail "the manual page lacks the section $section"
done
exit $status
