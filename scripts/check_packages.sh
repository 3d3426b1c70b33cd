#!/bin/sh
# Tries the built packages the way a user gets them:
#   scripts/check_packages.sh DEB ZIP WINE
# installs the Debian package, asks the installed rubo for its version and lets it
# delete in a tiny tree, removes the package again; then unpacks the Windows archive,
# looks at its texts and does the same with its rubo.exe under WINE (whose environment
# the caller sets).
set -eu
deb=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
zip=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
wine=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() { echo "check_packages: $*" >&2; exit 1; }

# A tree of one file to delete and one to keep; the run must delete exactly the first.
tiny_run() {
    tree=$1; shift
    mkdir -p "$tree/sub"
    : > "$tree/sub/a.obj"
    : > "$tree/keep.txt"
    (cd "$tree" && "$@" '*.obj' < /dev/null) > "$tree.out" || fail "the run in $tree ended with $?"
    grep -q "a.obj : ok" "$tree.out" || fail "the run in $tree did not delete a.obj"
    [ ! -e "$tree/sub/a.obj" ] && [ -e "$tree/keep.txt" ] || fail "the run in $tree left the wrong files"
}

dpkg -i "$deb"
version=$(/usr/bin/rubo --version) || fail "rubo --version ended with $?"
echo "$version" | head -n 1 | grep -qx "rubo [0-9.]*" || fail "unexpected version text: $version"
tiny_run "$work/linux" /usr/bin/rubo
[ -f /usr/share/man/man1/rubo.1.gz ] && [ -f /usr/share/doc/rubo/copyright ] || fail "manual or copyright missing"
dpkg -r rubo
[ ! -e /usr/bin/rubo ] || fail "rubo is still there after the package was removed"

mkdir "$work/archive"
(cd "$work/archive" && cmake -E tar xf "$zip")
# README.txt and the manual rubo.txt are text for Windows: every line ends in CR LF, no
# word of the manual is broken at a line end (by a hyphen of its own or groff's), and its
# examples are the Windows ones.
cr=$(printf '\r') hyphen=$(printf '\342\200\220')
for text in README.txt rubo.txt; do
    [ -s "$work/archive/$text" ] || fail "$text missing from the archive"
    ! grep -qv "$cr\$" "$work/archive/$text" && [ -z "$(tail -c 1 "$work/archive/$text")" ] ||
        fail "$text has a line that does not end in CR LF"
done
! LC_ALL=C grep -Eq "[[:alpha:]](-|$hyphen)$cr\$" "$work/archive/rubo.txt" || fail "rubo.txt breaks a word at a line end"
grep -q 'C:.work> rubo' "$work/archive/rubo.txt" || fail "rubo.txt lacks the Windows examples"
"$wine" "$work/archive/rubo.exe" --version | tr -d '\r' | head -n 1 | grep -qx "rubo [0-9.]*" ||
    fail "rubo.exe --version did not answer its version"
tiny_run "$work/windows" "$wine" "$work/archive/rubo.exe"
echo "check_packages: $(basename "$deb") and $(basename "$zip") work"
