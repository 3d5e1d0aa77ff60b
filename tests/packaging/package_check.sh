#!/usr/bin/env bash
# Builds the Debian package from a finished build tree, checks that it holds everything the
# installed game needs, unpacks it into a scratch root and runs the tool there on the installed
# demo songs. Exit 77 (skipped) when the Debian tools are missing.
# usage: package_check.sh BUILD_DIR
set -euo pipefail
build=$1
for tool in dpkg-deb dpkg-shlibdeps cpack; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is missing (install dpkg-dev)"
        exit 77
    fi
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if ! cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log"
    exit 1
fi
debs=("$work"/out/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "FAIL: expected one .deb, got: ${debs[*]}"; exit 1; }
deb=${debs[0]}
failed=0
fail() { echo "FAIL: $*"; failed=1; }

dpkg-deb -c "$deb" | sed -E 's|^([^ ]+ +){5}\./||' >"$work/files"
for f in usr/bin/cantorix usr/bin/cantorix-tool \
    usr/share/cantorix/data/skins/vip/bg.jpg usr/share/cantorix/data/gfx/logo.png \
    "usr/share/cantorix/songs/Cantorix - Harbour Lights/harbour.avi" \
    "usr/share/cantorix/songs/Cantorix - Two Lighthouses/Cantorix - Two Lighthouses.txt" \
    usr/share/applications/org.cantorix.Cantorix.desktop \
    usr/share/metainfo/org.cantorix.Cantorix.metainfo.xml \
    usr/share/icons/hicolor/48x48/apps/org.cantorix.Cantorix.png \
    usr/share/icons/hicolor/128x128/apps/org.cantorix.Cantorix.png \
    usr/share/icons/hicolor/256x256/apps/org.cantorix.Cantorix.png \
    usr/share/icons/hicolor/scalable/apps/org.cantorix.Cantorix.svg \
    usr/share/man/man6/cantorix.6 usr/share/man/man1/cantorix-tool.1 \
    usr/share/doc/cantorix/copyright; do
    grep -qxF "$f" "$work/files" || fail "the package lacks $f"
done
# Working files of a run in the build tree must not ship.
if grep -q '^usr/share/cantorix/data/buffer' "$work/files"; then fail "the package ships data/buffer"; fi

# Depends from dpkg-shlibdeps: the libraries the binaries link, not a hand-kept list.
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt6widgets6 libportaudio2 libmpg123-0 libsqlite3-0 libc6; do
    grep -q "$lib" <<<"$depends" || fail "Depends lacks $lib: $depends"
done
# grep -q stops reading at its first match; under pipefail the writer's broken pipe would then
# fail the check now and then, so each command's output is taken whole first.
grep -q karaoke <<<"$(dpkg-deb -f "$deb" Description)" || fail "no description"

root="$work/root"
dpkg -x "$deb" "$root"
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$root/usr/share/applications/org.cantorix.Cantorix.desktop" ||
        fail "the desktop entry does not validate"
fi
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net "$root/usr/share/metainfo/org.cantorix.Cantorix.metainfo.xml" ||
        fail "the metainfo does not validate"
fi
if ! "$root/usr/bin/cantorix-tool" scan --cache "$work/cache.sqlite3" \
    "$root/usr/share/cantorix/songs" >"$work/scan.out" 2>"$work/scan.err"; then
    cat "$work/scan.out" "$work/scan.err"
    fail "cantorix-tool scan fails on the installed demo songs"
fi
songs=$(grep -c 'loads (' "$work/scan.out" || true)
[ "$songs" -eq 4 ] || { cat "$work/scan.out"; fail "scan found $songs loadable demo songs, not 4"; }
grep -q '^cantorix ' <<<"$("$root/usr/bin/cantorix" --version)" || fail "the installed game does not start"

[ $failed -eq 0 ] && echo "package $(basename "$deb") checked"
exit $failed
