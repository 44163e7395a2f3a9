#!/bin/sh
# Usage: install_tree_test.sh BUILD_DIR CMAKE DESKTOP_ID
# Runs `cmake --install` of an already built tree into fresh prefixes and checks the result.
set -u

build=$(cd "$1" && pwd) || exit 1
cmake=$2
id=$3
work=$(mktemp -d "${TMPDIR:-/tmp}/sentrilo-install.XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT
trap 'exit 1' HUP INT TERM

passed=0
failed=0
skipped=0
ok() { passed=$((passed + 1)); }
fail() { failed=$((failed + 1)); echo "FAIL: $*"; }
check() { # check DESCRIPTION COMMAND...
    what=$1
    shift
    if "$@"; then ok; else fail "$what"; fi
}

# install_into PREFIX [DESTDIR]: a relative PREFIX is taken from the scratch folder.
install_into() {
    if ! (cd "$work" && DESTDIR=${2:-} "$cmake" --install "$build" --prefix "$1") >"$work/install.log" 2>&1; then
        cat "$work/install.log"
        fail "cmake --install --prefix '$1' DESTDIR='${2:-}'"
        return 1
    fi
}

# The XPM's values line, e.g. "32 32 9 1": width, height, colours, one character a pixel.
xpm_is() { # xpm_is FILE SIZE
    [ "$(head -n 1 "$1")" = "/* XPM */" ] || return 1
    values=$(grep -m 1 '^"[0-9]' "$1" | sed 's/^"\([^"]*\)".*/\1/') || return 1
    # shellcheck disable=SC2086 # split into its four numbers on purpose
    set -- $values "$2"
    [ $# -eq 5 ] && [ "$1" = "$5" ] && [ "$2" = "$5" ] && [ "$3" -le 16 ] && [ "$4" = 1 ]
}

identify_is() { [ "$(identify -format '%m %w %h' "$1" 2>/dev/null)" = "$2" ]; }
exec_line() { grep '^Exec=' "$1/share/applications/$id.desktop"; }
lacks() { ! grep -q "$2" "$1"; }
in_manifest() { grep -qx "$1" "$build/install_manifest.txt"; }

check_tree() { # check_tree ROOT: what every installed tree must hold
    root=$1
    binary=$root/opt/sentrilo/sentrilo
    check "executable at opt/sentrilo/sentrilo" test -f "$binary" -a -x "$binary"
    check "bin/sentrilo is a symlink" test -L "$root/bin/sentrilo"
    check "bin/sentrilo links relatively" test "$(readlink "$root/bin/sentrilo")" = ../opt/sentrilo/sentrilo
    check "bin/sentrilo resolves to the executable" test "$root/bin/sentrilo" -ef "$binary"
    desktop=$root/share/applications/$id.desktop
    check "desktop entry installed" test -f "$desktop"
    check "desktop entry named after the windows' class" grep -qx "StartupWMClass=$id" "$desktop"
    check "metadata named after its id" grep -q "<id>$id</id>" "$root/share/metainfo/$id.metainfo.xml"
    check "desktop entry names the program" grep -qx 'Name=Vorn Sentrilo' "$desktop"
    check "desktop entry icon" grep -qx 'Icon=sentrilo' "$desktop"
    check "desktop entry declares its notifications" grep -qx "X-GNOME-UsesNotifications=true" "$desktop"
    check "no placeholder left" lacks "$desktop" @
    # Hints count too: the entry is meant to validate without a word.
    if command -v desktop-file-validate >/dev/null 2>&1; then
        report=$(desktop-file-validate "$desktop" 2>&1)
        status=$?
        check "desktop-file-validate passes: $report" test "$status" -eq 0 -a -z "$report"
    else
        skipped=$((skipped + 1))
    fi
    check "32x32 icon" xpm_is "$root/share/icons/hicolor/32x32/apps/sentrilo.xpm" 32
    check "16x16 icon" xpm_is "$root/share/icons/hicolor/16x16/apps/sentrilo.xpm" 16
    for size in 16 22 24 32; do
        for mark in up down; do
            icon=$root/share/icons/hicolor/${size}x$size/status/sentrilo-$mark.png
            check "$mark mark at $size" identify_is "$icon" "PNG $size $size"
        done
    done
}

# Plain prefix, as for `make install` into ~/.local.
prefix=$work/plain
if install_into "$prefix"; then
    check_tree "$prefix"
    check "Exec= is the installed binary" test "$(exec_line "$prefix")" = "Exec=$prefix/opt/sentrilo/sentrilo"
    # Installing again over the same tree must replace the link, not trip over it.
    if install_into "$prefix"; then
        check "reinstall keeps the link" test "$prefix/bin/sentrilo" -ef "$prefix/opt/sentrilo/sentrilo"
    fi
    check "manifest lists the entry" in_manifest "$prefix/share/applications/$id.desktop"
    check "manifest lists the link" in_manifest "$prefix/bin/sentrilo"
fi

# Staged with DESTDIR, as a packager does: files land under DESTDIR, Exec= names the final place.
if install_into /usr/local "$work/stage"; then
    check_tree "$work/stage/usr/local"
    check "Exec= leaves DESTDIR out" test "$(exec_line "$work/stage/usr/local")" = "Exec=/usr/local/opt/sentrilo/sentrilo"
fi

# A prefix with a space and a dollar must be quoted in Exec= or launchers split it.
odd="$work/my \$apps"
if install_into "$odd"; then
    check_tree "$odd"
    check "Exec= quotes an unusual prefix" test "$(exec_line "$odd")" = "Exec=\"$work/my \\\\\$apps/opt/sentrilo/sentrilo\""
fi

# A relative prefix still gives launchers an absolute path.
if install_into rel; then
    check "Exec= is absolute for a relative prefix" test "$(exec_line "$work/rel")" = "Exec=$work/rel/opt/sentrilo/sentrilo"
fi

[ "$skipped" -eq 0 ] || echo "desktop-file-validate not found: its checks skipped"
echo "$passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
