#!/bin/sh
# Usage: package_round_trip_test.sh SOURCE_DIR WORK_DIR WITH_DESKTOP
# Builds the Debian package, installs it on this machine with apt, starts the program from its
# menu entry on a private desktop, has it check a page served on 127.0.0.1 and open its log,
# then purges the package and checks that the machine is as it was. Needs root or sudo without
# a password; skips (exit 77) where it cannot run, or where a sentrilo package is already there.
set -u

if [ "${1:-}" = --on-desktop ]; then
    # The user's part, run by with-desktop: WORK_DIR holds home/, bin/xdg-open and site/.
    work=$2
    export HOME="$work/home" PATH="$work/bin:$PATH"
    unset XDG_STATE_HOME
    python3 -u -m http.server --bind 127.0.0.1 --directory "$work/site" 0 >"$work/server.log" 2>&1 &
    server=$!
    program=""
    trap 'kill $server $program 2>/dev/null' EXIT
    await() { # await COMMAND...: up to 30 seconds
        for _ in $(seq 300); do "$@" 2>/dev/null && return 0; sleep 0.1; done
        return 1
    }
    await grep -q ' port [0-9]' "$work/server.log" || { echo "FAIL: the page server did not start"; exit 1; }
    port=$(sed -n 's/.* port \([0-9]*\).*/\1/p' "$work/server.log")
    url="http://127.0.0.1:$port/"

    entry=$(cat "$work/entry")
    gtk-launch "$entry" || { echo "FAIL: gtk-launch $entry"; exit 1; }
    window=$(timeout 30 xdotool search --sync --classname '^sentrilo$' | head -n 1)
    [ -n "$window" ] || { echo "FAIL: no window"; exit 1; }
    program=$(xdotool getwindowpid "$window")
    # The address box has the focus at start; Tab reaches Start. The menus have no access keys:
    # Alt enters the menu bar, then Logging > View Log.
    xdotool windowactivate --sync "$window" key ctrl+a type "$url"
    xdotool key Tab space
    log="$HOME/.local/state/sentrilo/snlog.html"
    await grep -qF "$url Status: SITE OK (" "$log" || { echo "FAIL: no record in $log"; exit 1; }
    xdotool key alt
    sleep 0.5
    xdotool key Right Down Return
    await test -s "$work/opened"
    [ "$(cat "$work/opened" 2>/dev/null)" = "$log" ] || { echo "FAIL: View Log opened '$(cat "$work/opened" 2>/dev/null)'"; exit 1; }
    exit 0
fi

source=$(cd "$1" && pwd) || exit 1
work=${2:?WORK_DIR}
with_desktop=$3
skip() { echo "SKIP: $*"; exit 77; }

if [ "$(id -u)" -eq 0 ]; then
    sudo=""
elif command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
    sudo="sudo -n"
else
    skip "installing a package needs root or sudo without a password"
fi
for tool in apt-get dpkg-buildpackage lintian gtk-launch xdotool python3 appstreamcli flock; do
    command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed (make deps)"
done

# One round trip at a time on this machine, and never over a sentrilo the machine already has.
mkdir -p "$work" || exit 1
exec 9>"$work.lock"
flock -w 900 9 || skip "another round trip kept the lock"
if status=$(dpkg-query -W -f='${db:Status-Status}' sentrilo 2>/dev/null) && [ "$status" != not-installed ]; then
    skip "a sentrilo package is already on this machine ($status)"
fi

installed=false
cleanup() {
    if $installed; then
        $sudo env DEBIAN_FRONTEND=noninteractive apt-get purge -y -o DPkg::Lock::Timeout=300 sentrilo >/dev/null 2>&1
    fi
}
trap cleanup EXIT
trap 'exit 1' HUP INT TERM
failed=0
fail() { failed=$((failed + 1)); echo "FAIL: $*"; }

# The tests are this suite's own business; the package build skips them.
if ! DEB_BUILD_OPTIONS=nocheck DEB_BUILD_PROFILES=nocheck "$source/scripts/package" "$work" "$work/dist" >"$work/package.log" 2>&1; then
    tail -n 40 "$work/package.log"
    echo "FAIL: scripts/package"
    exit 1
fi
deb=$(ls "$work"/dist/sentrilo_*.deb)

# What of the package's paths the machine already has (shared folders such as /usr/bin).
dpkg-deb --fsys-tarfile "$deb" | tar -t | sed 's|^\./|/|; s|/$||' | grep -v '^$' >"$work/contents"
while read -r path; do [ -e "$path" ] && echo "$path"; done <"$work/contents" >"$work/before"

# Nothing else may be installed (nor fetched): the machine must have what the package needs.
others=$(apt-get install -s --no-install-recommends "$deb" 2>&1 | sed -n 's/^Inst \([^ ]*\).*/\1/p' | grep -vx sentrilo)
[ -z "$others" ] || skip "the package would also install: $others"
if ! $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends \
    -o DPkg::Lock::Timeout=300 "$deb" >"$work/install.log" 2>&1; then
    cat "$work/install.log"
    echo "FAIL: apt-get install $deb"
    exit 1
fi
installed=true
dpkg -L sentrilo | grep -v '^/\.$' >"$work/listed"

# The entry's template is validated by install_tree_test.sh, the .deb by lintian; the metadata
# with the entry it launches, without an error or a warning.
rm -rf "${work:?}/tree"
dpkg-deb -x "$deb" "$work/tree"
report=$(appstreamcli validate-tree --no-net "$work/tree" 2>&1) || fail "appstreamcli validate-tree: $report"
# The menu's entry, as the package installed it.
grep '^/usr/share/applications/.*\.desktop$' "$work/listed" | xargs -n 1 basename | sed 's/\.desktop$//' >"$work/entry"

rm -rf "${work:?}/home" "${work:?}/bin" "${work:?}/site" "${work:?}/opened"
mkdir -p "$work/home" "$work/bin" "$work/site"
echo '<p>up</p>' >"$work/site/index.html"
# A stand-in for the desktop's opener: it writes down what it was asked to open.
printf '#!/bin/sh\nprintf %%s "$*" >"%s/opened"\n' "$work" >"$work/bin/xdg-open"
chmod +x "$work/bin/xdg-open"
"$with_desktop" sh "$0" --on-desktop "$work" || fail "the installed program"

$sudo env DEBIAN_FRONTEND=noninteractive apt-get purge -y -o DPkg::Lock::Timeout=300 sentrilo >"$work/purge.log" 2>&1 ||
    fail "apt-get purge sentrilo"
installed=false
while read -r path; do
    if [ -e "$path" ] && ! grep -qxF "$path" "$work/before"; then fail "left behind: $path"; fi
done <"$work/listed"

[ "$failed" -eq 0 ] && echo "package round trip passed"
[ "$failed" -eq 0 ]
