#!/usr/bin/env bash
# Installs the Debian package made by scripts/package on this machine, checks
# what it installed (the programs run, a tuning pass on the installed sample
# data completes, the desktop entry and the metainfo pass their validators,
# the icons, man pages and documentation are in place), then removes the package and checks
# that nothing it installed is left. Needs root or sudo: it installs with apt.
# Usage: tests/package/install_test.sh DEB
set -euo pipefail
source "$(dirname "$0")/../../scripts/lib/setup.sh"

fail() {
  echo "package test: FAIL: $*" >&2
  exit 1
}

[ "$#" -eq 1 ] || fail "usage: $0 DEB"
deb="$(realpath "$1")"
[ -f "$deb" ] || fail "no package at $1"
if [ "$(id -u)" -ne 0 ] && ! sudo -n true 2>/dev/null; then
  fail "installing the package needs root or sudo without a password; run as root"
fi
ensure_package_packages

version="$(project_version)"
app_id=org.trimwright.Trimwright
apt_get() {
  as_root env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=300 -y -qq "$@"
}
installed() { dpkg-query -W -f='${Status}' trimwright 2>/dev/null | grep -q 'install ok installed'; }
field() { dpkg-deb --field "$deb" "$1"; }
# Every path on the system with trimwright in it, to compare before and after.
trimwright_paths() { find /usr /etc /opt -ipath '*trimwright*' 2>/dev/null | sort; }

echo "== the package"
[ "$(basename "$deb")" = "trimwright_${version}_amd64.deb" ] ||
  fail "package file $(basename "$deb"), expected trimwright_${version}_amd64.deb"
[ "$(field Package)" = trimwright ] || fail "package name $(field Package)"
[ "$(field Version)" = "$version" ] || fail "package version $(field Version), expected $version"
[ "$(field Architecture)" = amd64 ] || fail "architecture $(field Architecture)"
depends="$(field Depends)"
echo "Depends: $depends"
# dpkg-shlibdeps names the packages of the libraries the programs link to.
depends_names="$(sed 's/ ([^)]*)//g; s/, */\n/g' <<<"$depends")"
for library in libc6 libstdc++6 libqt6widgets6 libqt6gui6 libqt6core6 libqt6charts6; do
  grep -qxF "$library" <<<"$depends_names" || fail "Depends lacks $library"
done

if installed; then
  fail "trimwright is installed already; remove it first (dpkg --purge trimwright)"
fi
before="$(trimwright_paths)"
scratch="$(mktemp -d)"
cleanup() {
  rm -rf "$scratch"
  if installed; then apt_get purge trimwright >/dev/null || true; fi
}
trap cleanup EXIT

echo "== installing"
apt_get install --no-install-recommends "$deb" >/dev/null
installed || fail "apt-get did not install the package"
dpkg-query -L trimwright | sort >"$scratch/files"

echo "== installed files"
doc=/usr/share/doc/trimwright
expected_files=(
  /usr/bin/trimwright /usr/bin/trimwright-cli
  "/usr/share/applications/$app_id.desktop" "/usr/share/metainfo/$app_id.metainfo.xml"
  "/usr/share/icons/hicolor/scalable/apps/$app_id.svg"
  /usr/share/man/man1/trimwright.1 /usr/share/man/man1/trimwright-cli.1
  "$doc/README.md" "$doc/docs/window.png"
)
for size in 16 22 24 32 48 64 128 256; do
  expected_files+=("/usr/share/icons/hicolor/${size}x${size}/apps/$app_id.png")
done
for file in "${expected_files[@]}"; do
  grep -qxF "$file" "$scratch/files" || fail "the package does not install $file"
  [ -f "$file" ] || fail "$file is listed but missing"
done
[ -x /usr/bin/trimwright ] && [ -x /usr/bin/trimwright-cli ] || fail "the programs are not executable"
for size in 16 22 24 32 48 64 128 256; do
  file -b "/usr/share/icons/hicolor/${size}x${size}/apps/$app_id.png" |
    grep -q "^PNG image data, $size x $size," || fail "the ${size}x${size} icon is not a $size pixel PNG"
done
for example in "$TRIMWRIGHT_ROOT"/examples/*; do
  cmp -s "$example" "$doc/examples/$(basename "$example")" ||
    fail "$doc/examples/$(basename "$example") differs from examples/$(basename "$example")"
done
# The README's chapters and their pictures beside it, every link holding.
for page in "$TRIMWRIGHT_ROOT"/docs/*.md "$TRIMWRIGHT_ROOT"/docs/*.png; do
  grep -qxF "$doc/docs/$(basename "$page")" "$scratch/files" ||
    fail "the package does not install $doc/docs/$(basename "$page")"
  cmp -s "$page" "$doc/docs/$(basename "$page")" ||
    fail "$doc/docs/$(basename "$page") differs from docs/$(basename "$page")"
done
"$TRIMWRIGHT_ROOT/tests/docs/links_test.sh" "$doc" || fail "a link of the installed documentation"

echo "== desktop entry and metainfo"
desktop-file-validate "/usr/share/applications/$app_id.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "/usr/share/metainfo/$app_id.metainfo.xml" ||
  fail "appstreamcli validate"
grep -qxF "Exec=trimwright %F" "/usr/share/applications/$app_id.desktop" ||
  fail "the desktop entry does not start trimwright with the files it is given"
grep -qxF "Icon=$app_id" "/usr/share/applications/$app_id.desktop" ||
  fail "the desktop entry does not name the installed icon"
grep -qF "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" \
  "/usr/share/metainfo/$app_id.metainfo.xml" || fail "the metainfo does not name the desktop entry"
# The window tells the desktop the name of its entry (Wayland matches the
# window to its icon by it), so the program must carry the same id.
grep -qaF "$app_id" /usr/bin/trimwright || fail "the window does not name its desktop entry $app_id"

echo "== man pages"
for page in trimwright trimwright-cli; do
  [ "$(man -w "$page")" = "/usr/share/man/man1/$page.1" ] || fail "man -w $page: $(man -w "$page")"
done
MANWIDTH=100 man trimwright-cli 2>/dev/null >"$scratch/man.txt" || fail "man trimwright-cli"
for text in "--target-blm TEXT" "--rpm-limit TEXT" "--report FILE" "EXIT STATUS" \
  "trimwright-cli [OPTIONS] LOGFILE IMAGE"; do
  grep -qF -- "$text" "$scratch/man.txt" || fail "man trimwright-cli does not show \"$text\""
done

echo "== the installed programs"
[ "$(command -v trimwright-cli)" = /usr/bin/trimwright-cli ] ||
  fail "trimwright-cli on the PATH is $(command -v trimwright-cli)"
reported="$(trimwright-cli --version)"
[ "$reported" = "trimwright-cli $version" ] ||
  fail "trimwright-cli --version says \"$reported\", the package is $version"
# A pass rewrites the image in place: tune copies of the installed samples.
cp "$doc/examples/sample.bin" "$doc/examples/sample.csv" "$scratch/"
status=0
(cd "$scratch" && trimwright-cli sample.csv sample.bin >diagnostics.txt 2>messages.txt) || status=$?
[ "$status" -eq 0 ] || fail "the pass on the installed examples ended with status $status: $(cat "$scratch/messages.txt")"
grep -qF "Processing complete" "$scratch/messages.txt" || fail "the pass did not say it completed"
[ -s "$scratch/sample_trw.txt" ] || fail "the pass wrote no report"
! cmp -s "$scratch/sample.bin" "$doc/examples/sample.bin" || fail "the pass left the image unchanged"
cmp -s "$doc/examples/sample.bin" "$TRIMWRIGHT_ROOT/examples/sample.bin" ||
  fail "the pass changed the installed example"
# The window has no files to wait for: it must start and still be open when
# stopped after a few seconds.
status=0
QT_QPA_PLATFORM=offscreen timeout 3 trimwright >"$scratch/window.txt" 2>&1 || status=$?
[ "$status" -eq 124 ] || fail "the installed window ended with status $status: $(cat "$scratch/window.txt")"

echo "== removing"
apt_get purge trimwright >/dev/null
! installed || fail "apt-get did not remove the package"
while read -r path; do
  if [ -d "$path" ] && [ ! -L "$path" ]; then
    # dpkg keeps a folder that another package owns or that holds other files.
    if [ -z "$(ls -A "$path")" ] && ! dpkg-query -S "$path" >/dev/null 2>&1; then
      fail "the empty folder $path is left behind"
    fi
  elif [ -e "$path" ] || [ -L "$path" ]; then
    fail "$path is left behind"
  fi
done <"$scratch/files"
after="$(trimwright_paths)"
[ "$before" = "$after" ] || fail "paths with trimwright in their name differ after removal:
$(diff <(echo "$before") <(echo "$after") || true)"
echo "package test: PASS ($(wc -l <"$scratch/files") paths installed and removed)"
