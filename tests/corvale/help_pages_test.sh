#!/usr/bin/env bash
# The operator's help: every page is in the project, the contents and the compiled file; every
# contents and index entry and every link leads to a page (and anchor) that exists; every picture
# a page shows is there and compiled in; the compiled file carries its title and the window
# definition hh.exe needs for its panes.
#   help_pages_test.sh <help folder>
set -euo pipefail
help=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

mapfile -t pages < <(cd "$help" && ls ./*.htm | sed 's|^\./||')
[ ${#pages[@]} -ge 7 ] || fail "only ${#pages[@]} pages"

# The project's file list, and the pages named by the contents and the index.
files_section=$(awk '/^\[FILES\]/{on=1; next} /^\[/{on=0} on && NF' "$help/Corvale.hhp" | tr -d '\r')
locals() { grep -o '<param name="Local" value="[^"]*"' "$1" | sed 's/.*value="//; s/"$//'; }
for page in "${pages[@]}"; do
  grep -qxF "$page" <<<"$files_section" || fail "$page is not in the project's [FILES]"
  locals "$help/Corvale.hhc" | grep -qxF "$page" || fail "$page is not in the contents"
  grep -q '<title>[^<]\+</title>' "$help/$page" || fail "$page has no title"
done
while read -r listed; do
  [ -f "$help/$listed" ] || fail "[FILES] names $listed, which does not exist"
done <<<"$files_section"
for sitemap in Corvale.hhc Corvale.hhk; do
  [ -n "$(locals "$help/$sitemap")" ] || fail "$sitemap names no page"
  while read -r target; do
    [ -f "$help/$target" ] || fail "$sitemap names $target, which does not exist"
  done < <(locals "$help/$sitemap")
done
[ "$(locals "$help/Corvale.hhk" | wc -l)" -ge 20 ] || fail "the index has fewer than 20 entries"

# Links between pages, with their anchors.
for page in "${pages[@]}"; do
  while read -r link; do
    case "$link" in http:* | https:* | mailto:*) continue ;; esac
    target=${link%%#*}
    [ -n "$target" ] || target=$page
    [ -f "$help/$target" ] || fail "$page links to $target, which does not exist"
    if [[ "$link" == *#* ]]; then
      grep -q "name=\"${link#*#}\"" "$help/$target" || fail "$page links to a missing anchor $link"
    fi
  done < <(grep -o 'href="[^"]*"' "$help/$page" | sed 's/^href="//; s/"$//')
done

# Pictures: each one a page shows is in the project's file list.
mapfile -t pictures < <(cd "$help" && grep -oh '<img src="[^"]*"' ./*.htm | sed 's/^<img src="//; s/"$//' | sort -u)
for picture in "${pictures[@]}"; do
  [ -s "$help/$picture" ] || fail "a page shows $picture, which does not exist"
  grep -qxF "$picture" <<<"$files_section" || fail "$picture is not in the project's [FILES]"
done

# The compiled file.
(cd "$work" && chmcmd "$help/Corvale.hhp" >"$work/chmcmd.log" 2>&1) || fail "chmcmd failed"
if grep -E '^(Warning|Error)' "$work/chmcmd.log"; then fail "chmcmd reported problems"; fi
[ -s "$work/Corvale.chm" ] || fail "no Corvale.chm"
chmls -n -p list "$work/Corvale.chm" >"$work/list.txt"
for page in "${pages[@]}" "${pictures[@]}" Corvale.hhc Corvale.hhk help.css; do
  grep -qxF "/$page" "$work/list.txt" || fail "$page is not in Corvale.chm"
done
chmls printwindows "$work/Corvale.chm" >"$work/windows.txt"
grep -q 'Title Bar Text *: Corvale Help ' "$work/windows.txt" || fail "window title"
grep -q 'TOC File *: Corvale.hhc ' "$work/windows.txt" || fail "window contents file"
grep -q 'Index File *: Corvale.hhk ' "$work/windows.txt" || fail "window index file"
grep -q 'Default File *: overview.htm ' "$work/windows.txt" || fail "window default page"
# Without a navigation pane width and a window position Wine's hh.exe shows no contents pane.
width=$(sed -n 's/.*Width of the navigation pane in pixels *: *//p' "$work/windows.txt")
[ -n "$width" ] && [ $((16#$width)) -ge 150 ] || fail "navigation pane width '$width'"
grep -qE 'Initial position \(left,top,right,bottom *: [0-9]+ [0-9]+ [0-9]+ [0-9]+' \
  "$work/windows.txt" || fail "window position"
position=$(sed -n 's/.*Initial position (left,top,right,bottom *: *//p' "$work/windows.txt")
read -r left top right bottom <<<"$position"
[ $((right - left)) -ge 600 ] && [ $((bottom - top)) -ge 400 ] || fail "window size $position"
echo "ok: ${#pages[@]} help pages, contents, index and window definition"
