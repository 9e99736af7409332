#!/usr/bin/env bash
# Checks the documentation under ROOT (the source tree, or the installed
# documentation folder): every relative link of README.md and docs/*.md leads
# to a file that exists, every #anchor to a heading of its page, and every
# picture in docs/ is shown by some page.
# Usage: tests/docs/links_test.sh ROOT
set -euo pipefail
export LC_ALL=C

root="${1:?usage: $0 ROOT}"
pages=("$root/README.md" "$root"/docs/*.md)
failures=0
fail() {
  echo "docs links: FAIL: $*" >&2
  failures=$((failures + 1))
}

# The anchors of a page's headings, as a Markdown renderer makes them:
# lower case, punctuation dropped, spaces to hyphens.
anchors() {
  sed -n 's/^#\{1,6\} \(.*\)$/\1/p' "$1" | tr 'A-Z' 'a-z' | sed 's/[^a-z0-9 _-]//g; s/ /-/g'
}

[ "${#pages[@]}" -gt 1 ] || fail "no chapters in $root/docs"
for page in "${pages[@]}"; do
  [ -f "$page" ] || { fail "$page is missing"; continue; }
  dir="$(dirname "$page")"
  # Every (target) of a [text](target) link, fenced code blocks left out.
  while read -r target; do
    case "$target" in http://* | https://* | mailto:*) continue ;; esac
    file="${target%%#*}"
    anchor=""
    [ "$file" = "$target" ] || anchor="${target#*#}"
    path="$page"
    [ -z "$file" ] || path="$dir/$file"
    if [ ! -e "$path" ]; then
      fail "${page#"$root"/} links to $target, which does not exist"
    elif [ -n "$anchor" ] && ! anchors "$path" | grep -qxF "$anchor"; then
      fail "${page#"$root"/} links to $target, a heading ${file:-this page} lacks"
    fi
  done < <(awk '/^```/ { fenced = !fenced; next } !fenced' "$page" |
    grep -o '\]([^)]*)' | sed 's/^](//; s/)$//')
done

for picture in "$root"/docs/*.png; do
  name="docs/$(basename "$picture")"
  if ! grep -qF -e "($(basename "$picture"))" -e "($name)" "${pages[@]}"; then
    fail "no page shows $name"
  fi
done

[ "$failures" -eq 0 ] || exit 1
echo "docs links: PASS (${#pages[@]} pages)"
