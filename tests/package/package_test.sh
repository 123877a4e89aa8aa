#!/usr/bin/env bash
# Builds the Debian package from a build tree and checks it as a user's
# machine would see it: its file list and control fields, the desktop entry
# and AppStream metadata through their validators, the icon through GTK's
# icon theme, and the packaged program, unpacked, driven end to end against
# the demo site.
#
#   tests/package/package_test.sh BUILD_DIR VERSION E2E_SCRIPT DEMO_SITE
#
# The package is built into a scratch folder of its own, so a `make package`
# in the same build tree is neither overwritten nor reused.
set -euo pipefail

if [ $# -ne 4 ]; then
  echo "usage: $0 BUILD_DIR VERSION E2E_SCRIPT DEMO_SITE" >&2
  exit 2
fi
build=$1 version=$2 e2e=$3 site=$4
app_id=example.quorvane.Quorvane

scratch=$(mktemp -d "${TMPDIR:-/tmp}/quorvane-package.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() {
  echo "FAILED: $*" >&2
  failures=$((failures + 1))
}

# 1. The package.
if ! cpack --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1; then
  cat "$scratch/cpack.log" >&2
  echo "FAILED: cpack" >&2
  exit 1
fi
debs=("$scratch"/out/quorvane_*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
  ls -l "$scratch/out" >&2
  echo "FAILED: expected one quorvane_*.deb" >&2
  exit 1
fi
deb=${debs[0]}
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes"

# 2. Its files: exactly these, all under /usr, the program stripped. The
# browser box's module lies in the library folder the build was set up with.
libdir=$(sed -n 's/^CMAKE_INSTALL_LIBDIR:PATH=//p' "$build/CMakeCache.txt")
module=./usr/$libdir/quorvane/quorvane-webview.so
expected_files="./usr/bin/quorvane
./usr/share/applications/$app_id.desktop
./usr/share/doc/quorvane/copyright
./usr/share/icons/hicolor/scalable/apps/$app_id.svg
./usr/share/metainfo/$app_id.metainfo.xml
$module"
expected_files=$(echo "$expected_files" | sort)
files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sort)
if [ "$files" != "$expected_files" ]; then
  fail "the package's files differ from the expected list:"
  diff <(echo "$expected_files") <(echo "$files") >&2 || true
fi

# 3. Its control fields. Depends comes from the libraries the program links
# plus the programs, fonts and loaders it needs by name; no development
# package may creep in.
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = quorvane ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)', the project's is $version"
[ -n "$(field Section)" ] || fail "no Section"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
description=$(field Description)
[ "$(echo "$description" | wc -l)" -ge 3 ] || fail "the Description has no long text: '$description'"
depends=$(field Depends)
echo "Depends: $depends"
for needed in libc6 libgtk-3-0 libwebkit2gtk-4.1-0 libcurl4 libpcre2-16-0 libicu xdg-utils fonts-wqy-microhei librsvg2-common; do
  case ", $depends" in
    *", $needed"*|*"| $needed"*) ;;
    *) fail "Depends lacks $needed" ;;
  esac
done
if echo "$depends" | tr ',|' '\n\n' | sed 's/^ *//; s/ .*//' | grep -- '-dev$' >&2; then
  fail "Depends names a development package"
fi
dpkg-deb -I "$deb" >/dev/null || fail "dpkg-deb -I cannot read the package"

# 4. Unpacked: the program, its entry and metadata as installed.
root=$scratch/root
dpkg-deb -x "$deb" "$root"
program=$root/usr/bin/quorvane
desktop=$root/usr/share/applications/$app_id.desktop
metainfo=$root/usr/share/metainfo/$app_id.metainfo.xml
for elf in "$program" "$root/$module"; do
  case "$(file -b "$elf")" in
    *ELF*", stripped"*) ;;
    *) fail "$elf is not a stripped ELF file: $(file -b "$elf")" ;;
  esac
done
# The web engine is the module's alone: the program starts without it.
if readelf -d "$program" | grep -q 'NEEDED.*webkit'; then
  fail "the packaged program links the web engine"
fi

# desktop-file-validate prints nothing for a clean entry.
if ! report=$(desktop-file-validate "$desktop" 2>&1) || [ -n "$report" ]; then
  fail "desktop-file-validate reports:"
  echo "$report" >&2
fi
entry() { sed -n "s/^$1=//p" "$desktop"; }
[ "$(entry Icon)" = "$app_id" ] || fail "the entry's Icon is '$(entry Icon)'"
[ "$(entry StartupWMClass)" = "$app_id" ] || fail "the entry's StartupWMClass is '$(entry StartupWMClass)'"
[ -x "$root/usr/bin/$(entry Exec)" ] || fail "the entry's Exec '$(entry Exec)' is not the packaged program"
grep -q '^Name\[zh_CN\]=' "$desktop" || fail "the entry has no Name[zh_CN]"
grep -q '^Comment\[zh_CN\]=' "$desktop" || fail "the entry has no Comment[zh_CN]"

# appstreamcli marks errors E: and warnings W:; infos (I:) and pedantic
# notes (P:) are allowed.
report=$(appstreamcli validate --no-net --no-color "$metainfo" 2>&1) || true
if echo "$report" | grep -qE '^[EW]:'; then
  fail "appstreamcli validate reports:"
  echo "$report" >&2
fi
grep -q "<release version=\"$version\" date=\"[0-9]\{4\}-[0-9][0-9]-[0-9][0-9]\"" "$metainfo" ||
  fail "the metadata has no release $version with a date"
grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo" ||
  fail "the metadata does not launch $app_id.desktop"

# The icon theme finds the packaged icon by the application id and draws it
# at the sizes menus and title bars ask for, through the SVG pixbuf loader.
/usr/bin/python3 - "$root/usr/share/icons" "$app_id" <<'PY' || fail "the icon theme cannot draw the packaged icon"
import sys
import gi
gi.require_version("Gtk", "3.0")
from gi.repository import Gtk

icons, app_id = sys.argv[1], sys.argv[2]
theme = Gtk.IconTheme.new()
theme.set_search_path([icons, "/usr/share/icons"])
bad = []
for size in (16, 24, 32, 48, 64, 128, 256):
    info = theme.lookup_icon(app_id, size, 0)
    if info is None or not info.get_filename().startswith(icons + "/"):
        bad.append(f"{size} px: the theme does not find the packaged icon")
        continue
    pixbuf = info.load_icon()
    if (pixbuf.get_width(), pixbuf.get_height()) != (size, size):
        bad.append(f"{size} px: drawn at {pixbuf.get_width()}x{pixbuf.get_height()}")
if bad:
    sys.exit("\n".join(bad))
PY

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi

# 5. The packaged program, driven through a search of the demo site.
exec /usr/bin/python3 "$e2e" --program "$program" --site "$site"
