#!/usr/bin/env bash
# Installs the build into a temporary folder, as a package does, and checks what the
# desktop and software centres read: the desktop entry and the metainfo validate, they name
# each other, the icon and the program, and nothing but the program's own files is installed.
#   install_check.sh <cmake> <build folder>
set -uo pipefail
cmake="$1" build="$2"
root=$(mktemp -d) log=$(mktemp)
trap 'rm -rf "$root" "$log"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

DESTDIR="$root" "$cmake" --install "$build" --prefix /usr >"$log" 2>&1 || { cat "$log"; fail "cmake --install failed"; }
usr="$root/usr"

desktops=("$usr"/share/applications/*.desktop)
metainfos=("$usr"/share/metainfo/*.metainfo.xml)
[ ${#desktops[@]} -eq 1 ] && [ -f "${desktops[0]}" ] || fail "expected one desktop entry: ${desktops[*]}"
[ ${#metainfos[@]} -eq 1 ] && [ -f "${metainfos[0]}" ] || fail "expected one metainfo file: ${metainfos[*]}"
desktop="${desktops[0]}" metainfo="${metainfos[0]}"
desktop-file-validate "$desktop" || fail "desktop-file-validate: $desktop"
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate: $metainfo"

id="$(basename "$desktop" .desktop)"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" || fail "the metainfo does not launch $id.desktop"
grep -q "<id>$id</id>" "$metainfo" || fail "the metainfo's id is not $id"
icon="$(sed -n 's/^Icon=//p' "$desktop")"
[ -f "$usr/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "no scalable icon named $icon"
# Every Exec line, the main one and the actions', starts the installed program.
while read -r program; do
    [ -x "$usr/bin/$program" ] || fail "Exec names $program, which is not installed in bin"
done < <(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
binary="$(sed -n 's:.*<binary>\(.*\)</binary>.*:\1:p' "$metainfo")"
[ -x "$usr/bin/$binary" ] || fail "the metainfo provides $binary, which is not installed"
# The program loads its media module from ../lib/tandrel, beside itself.
[ -f "$usr/lib/tandrel/libtandrel_media.so" ] || fail "the media module is not in lib/tandrel"

# Third-party build parts (headers, static libraries, CMake and pkg-config files) stay out.
strays="$(cd "$root" && find . \( -name '*.a' -o -name '*.h' -o -name '*.pc' -o -name '*.cmake' \) -print)"
[ -z "$strays" ] || fail "development files installed: $strays"
echo "installed and valid: $id"
