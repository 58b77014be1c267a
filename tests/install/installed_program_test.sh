#!/usr/bin/env bash
# The installed program, as a user meets it: installed into a read-only prefix (or unpacked from
# the Debian package), started by a user with an empty home folder.
#
#   installed_program_test.sh --build BUILD_DIR VERSION SOURCE_DIR   installs BUILD_DIR with
#       cmake --install, and packs it with cpack: the package holds the same files
#   installed_program_test.sh --deb PACKAGE VERSION SOURCE_DIR        unpacks a built .deb
set -euo pipefail

mode=$1 where=$2 version=$3 source=$4
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

tmp=$(mktemp -d)
# Another user must reach every file of it (see below).
chmod 755 "$tmp"
xserver=
cleanup() {
    [ -z "$xserver" ] || { kill "$xserver" 2>/dev/null; wait "$xserver" 2>/dev/null; } || true
    chmod -R u+w "$tmp" 2>/dev/null || true
    rm -rf "$tmp"
}
trap cleanup EXIT

# Its dependencies come from the libraries the programs link.
check_package() {
    local depends
    depends=$(dpkg-deb -f "$1" Depends)
    for lib in libqt6widgets6 libsdl2 librtmidi; do
        grep -q "$lib" <<<"$depends" || fail "the package does not depend on $lib: $depends"
    done
}
files_under() { (cd "$1" && find . -type f | sort); }

case $mode in
--build)
    prefix=$tmp/prefix
    cmake --install "$where" --prefix "$prefix" >"$tmp/install.log" || {
        cat "$tmp/install.log" >&2
        fail "cmake --install"
    }
    if command -v dpkg-deb >/dev/null; then
        cpack --config "$where/CPackConfig.cmake" -G DEB -B "$tmp/package" >"$tmp/cpack.log" 2>&1 || {
            cat "$tmp/cpack.log" >&2
            fail "cpack"
        }
        deb=$(find "$tmp/package" -maxdepth 1 -name '*.deb' -print -quit)
        check_package "$deb"
        dpkg-deb -x "$deb" "$tmp/root"
        [ "$(files_under "$tmp/root/usr")" = "$(files_under "$prefix")" ] ||
            fail "the package's files under /usr differ from the installed ones"
        rm -rf "$tmp/package" "$tmp/root"
    fi
    ;;
--deb)
    check_package "$where"
    [ "$(dpkg-deb -f "$where" Version)" = "$version" ] || fail "the package's version is not $version"
    dpkg-deb -x "$where" "$tmp/root"
    prefix=$tmp/root/usr
    ;;
*) fail "unknown mode $mode" ;;
esac
bin=$prefix/bin
for f in bin/vantaro bin/vantaro-replay share/man/man1/vantaro.1.gz share/man/man1/vantaro-replay.1.gz \
    share/doc/vantaro/copyright share/vantaro/help.html share/vantaro/support.html share/vantaro/glove.html share/vantaro/vantaro.css \
    share/vantaro/examples/demo.dat share/vantaro/examples/demo.script; do
    [ -f "$prefix/$f" ] || fail "$f is not installed"
done
# The bridge's library folder follows the build's library folder (lib/ or lib/<triplet>/).
bridge=$(find "$prefix" -path '*/vantaro/libpalmlet.so' -print -quit)
[ -n "$bridge" ] && [ -f "$(dirname "$bridge")/libp5dll.so" ] ||
    fail "libpalmlet.so and libp5dll.so are not installed side by side"

# Root may write anywhere, so the program runs as an ordinary user; one who is not root already
# meets a prefix made read-only.
runas=()
if [ "$(id -u)" -eq 0 ]; then
    runas=(setpriv --reuid=65534 --regid=65534 --clear-groups)
fi
chmod -R a-w "$prefix"
home=$tmp/home
mkdir -m 700 "$home" "$tmp/runtime"
if [ "$(id -u)" -eq 0 ]; then
    chown 65534:65534 "$home" "$tmp/runtime"
fi

# The sanitizer's suppressions must be readable by that user too.
lsan=${LSAN_OPTIONS:-}
if [[ $lsan =~ suppressions=([^:]*) ]]; then
    cp "${BASH_REMATCH[1]}" "$tmp/lsan.supp"
    chmod 644 "$tmp/lsan.supp"
    lsan=${lsan/${BASH_REMATCH[1]}/$tmp/lsan.supp}
fi
# No display, no JACK server to start, nothing of the caller's own.
user_env=(env -i PATH=/usr/bin:/bin HOME="$home" XDG_RUNTIME_DIR="$tmp/runtime" LANG=C.UTF-8
          JACK_NO_START_SERVER=1 JACK_DEFAULT_SERVER=vantaro-installed-test-none
          ASAN_OPTIONS="${ASAN_OPTIONS:-}" UBSAN_OPTIONS="${UBSAN_OPTIONS:-}" LSAN_OPTIONS="$lsan")
run() { "${runas[@]}" "${user_env[@]}" "$@"; }

# --version and --help answer without a display; anything else is refused with exit 2.
out=$(run "$bin/vantaro" --version) || fail "vantaro --version exits with $?"
[ "$out" = "vantaro $version" ] || fail "vantaro --version says '$out', not 'vantaro $version'"
out=$(run "$bin/vantaro" --help) || fail "vantaro --help exits with $?"
grep -q -- '--version' <<<"$out" || fail "vantaro --help does not list --version"
status=0
run "$bin/vantaro" --no-such-option >"$tmp/out" 2>"$tmp/err" || status=$?
[ "$status" -eq 2 ] || fail "an unknown option exits with $status, not 2"
[ ! -s "$tmp/out" ] && [ "$(wc -l <"$tmp/err")" -eq 1 ] && grep -q -- '--no-such-option' "$tmp/err" ||
    fail "an unknown option is not one line on stderr: $(cat "$tmp/out" "$tmp/err")"

# Both programs give the one version in the one form.
for v in --version -V; do
    out=$(run "$bin/vantaro-replay" "$v") || fail "vantaro-replay $v exits with $?"
    [ "$out" = "vantaro-replay $version" ] || fail "vantaro-replay $v says '$out', not 'vantaro-replay $version'"
done

# vantaro-replay --help and its man page: every directive the script reader knows, one line each.
# The list, and whatever the reader in tools/replay.cpp knows besides.
mapfile -t read_there < <(grep -o 'name == "[a-z]*"' "$source/tools/replay.cpp" | cut -d'"' -f2 || true)
directives=(centre width hand finger joy nojoy glove describe fail wait tick "${read_there[@]}")
out=$(run "$bin/vantaro-replay" --help) || fail "vantaro-replay --help exits with $?"
grep -q -- '--version' <<<"$out" || fail "vantaro-replay --help does not list --version"
for d in $(printf '%s\n' "${directives[@]}" | sort -u); do
    [ "$(grep -c -E "^  $d( |\$)" <<<"$out")" -eq 1 ] || fail "vantaro-replay --help has no line for '$d'"
    zcat "$prefix/share/man/man1/vantaro-replay.1.gz" | grep -A1 -x '\.TP' | grep -q -E "^\.B[IR]? $d( |\$)" ||
        fail "vantaro-replay(1) does not document '$d'"
done
if command -v groff >/dev/null; then
    for page in vantaro vantaro-replay; do
        warnings=$(zcat "$prefix/share/man/man1/$page.1.gz" | groff -man -ww -z 2>&1)
        [ -z "$warnings" ] || fail "$page.1: $warnings"
    done
fi

# The examples of the README and of vantaro-replay(1), played by the installed program on the
# installed demo list, print what the texts say they print (trailing blanks aside).
examples=$prefix/share/vantaro/examples
trimmed() { sed 's/[[:space:]]*$//' "$@"; }
check_example() { # what, script, expected output, the action file the text names
    local what=$1 script=$2 expected=$3 named=$4
    [[ $named == */share/vantaro/examples/demo.dat ]] || fail "$what plays '$named', not the installed demo list"
    [ -s "$script" ] && [ -s "$expected" ] || fail "$what: no example script or output found"
    chmod 644 "$script"
    run "$bin/vantaro-replay" "$examples/demo.dat" "$script" >"$tmp/example.out" ||
        fail "$what: vantaro-replay exits with $?"
    diff <(trimmed "$expected") <(trimmed "$tmp/example.out") >&2 || fail "$what prints something else"
}
readme=$source/README.md
sed -n "/^cat > \/tmp\/try.script <<'EOF'\$/,/^EOF\$/{//!p}" "$readme" >"$tmp/readme.script"
awk '/^prints$/ { on = 1; next } on && /^```/ { if (inside) exit; inside = 1; next } inside' "$readme" >"$tmp/readme.out"
# shellcheck disable=SC2016 # the README's own words, $examples unexpanded
grep -q -x 'vantaro-replay $examples/demo.dat /tmp/try.script' "$readme" ||
    fail "README.md does not play its example with \$examples/demo.dat"
check_example README.md "$tmp/readme.script" "$tmp/readme.out" "$(sed -n 's/^examples=\([^ ]*\).*/\1/p' "$readme")/demo.dat"
man_example=$(zcat "$prefix/share/man/man1/vantaro-replay.1.gz" | sed -n '/^\.SH EXAMPLE/,/^\.SH /p')
man_block() { awk -v want="$1" '/^\.nf$/ { n++; on = n == want; next } /^\.fi$/ { on = 0 } on' <<<"$man_example"; }
man_block 1 >"$tmp/man.script"
man_block 2 >"$tmp/man.out"
check_example vantaro-replay.1 "$tmp/man.script" "$tmp/man.out" \
    "$(sed -n 's/^\.B vantaro-replay \([^ ]*\) try\.script$/\1/p' <<<"$man_example")"
# The longer demo: the note, the stick both ways, the sustain pedal, the volume climbing every 100 ms.
out=$(run "$bin/vantaro-replay" "$examples/demo.dat" "$examples/demo.script") || fail "the demo script exits with $?"
expected="6 Value: 127 Channel: 0 Note On: 60  Data: 8338576 Result: 0
106 Value: 0 Channel: 0 Note On: 60  Data: 15504 Result: 0
107 Value: 127 Channel: 0 Controller: 1  Data: 8323504 Result: 0
108 Value: 0 Channel: 0 Controller: 1  Data: 432 Result: 0
109 Value: 127 Channel: 0 Controller: 64  Data: 8339632 Result: 0
112 Value: 16 Channel: 0 Controller: 7  Data: 1050544 Result: 0
213 Value: 32 Channel: 0 Controller: 7  Data: 2099120 Result: 0
314 Value: 48 Channel: 0 Controller: 7  Data: 3147696 Result: 0
415 Value: 64 Channel: 0 Controller: 7  Data: 4196272 Result: 0
516 Value: 80 Channel: 0 Controller: 7  Data: 5244848 Result: 0"
[ "$out" = "$expected" ] || fail "the demo script prints: $out"

# The first start, on the offscreen platform: the settings appear in the user's folder (start-up
# ran through its first-run step), the bridge is loaded from the installed library folder, and
# nothing is written into the prefix. The program runs until it is stopped.
ini=$home/.local/share/Vantaro/jmconfig.ini
touch "$tmp/before"
# A simple command, so that $! is the program itself once setpriv and env have exec'd it.
"${runas[@]}" "${user_env[@]}" QT_QPA_PLATFORM=offscreen LD_DEBUG=files LD_DEBUG_OUTPUT="$tmp/runtime/ld" \
    "$bin/vantaro" >"$tmp/start.out" 2>"$tmp/start.err" &
pid=$!
for _ in $(seq 600); do
    [ -s "$ini" ] && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
sleep 1 # the rest of start-up
alive=1
kill -0 "$pid" 2>/dev/null || alive=0
kill -TERM "$pid" 2>/dev/null || true
status=0
wait "$pid" || status=$?
# SIGTERM (a desktop session ending) takes the same way as Quit: status 0.
if [ "$alive" -eq 0 ] || [ "$status" -ne 0 ]; then
    cat "$tmp/start.err" >&2
    fail "the program did not run until stopped (exit status $status)"
fi
[ -s "$ini" ] || fail "the first start did not create $ini"
grep -q '^config= *1' "$ini" || fail "jmconfig.ini lacks the first-run values: $(cat "$ini")"
[ -f "$home/.local/share/Vantaro/jmconfig.dat" ] || fail "no jmconfig.dat beside jmconfig.ini"
written=$(find "$prefix" -newer "$tmp/before" -print)
[ -z "$written" ] || fail "the program wrote into the installed tree: $written"
bridge_dir=$(dirname "$(readlink -f "$bridge")")
grep -h -q "calling init: $bridge_dir/libpalmlet.so" "$tmp/runtime/ld".* ||
    fail "the installed glove bridge $bridge_dir/libpalmlet.so was not loaded"
grep -h -q "calling init: $bridge_dir/libp5dll.so" "$tmp/runtime/ld".* ||
    fail "the bridge did not load the SDK layer beside it"

# The desktop entry and the AppStream metadata, where their validators are installed.
desktop=$(find "$prefix/share/applications" -name '*.desktop' -print -quit)
metainfo=$(find "$prefix/share/metainfo" -name '*.metainfo.xml' -print -quit)
[ -n "$desktop" ] && [ -n "$metainfo" ] || fail "no desktop entry or no metainfo"
grep -q -x "Exec=vantaro" "$desktop" || fail "the desktop entry does not start vantaro"
grep -q -E '^Categories=(.*;)?Audio;(.*;)?Midi;' "$desktop" || fail "the desktop entry lacks Audio;Midi;"
icon=$(sed -n 's/^Icon=//p' "$desktop")
for size in scalable/apps/$icon.svg 48x48/apps/$icon.png 128x128/apps/$icon.png 256x256/apps/$icon.png; do
    [ -s "$prefix/share/icons/hicolor/$size" ] || fail "no icon $size"
done
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$desktop" || fail "desktop-file-validate"
fi
# Docks group a window with its launcher by the entry's name (the window's application id on
# Wayland, which the program sets to it) and, on X11, by the class of its WM_CLASS.
id=$(basename "$desktop" .desktop)
[ "$icon" = "$id" ] && grep -q "<id>$id</id>" "$metainfo" && grep -q ">$id.desktop</launchable>" "$metainfo" ||
    fail "the desktop entry $id.desktop, its icon $icon and the metainfo's id disagree"
wm_class=$(sed -n 's/^StartupWMClass=//p' "$desktop")
[ -n "$wm_class" ] || fail "the desktop entry names no StartupWMClass"
if command -v Xvfb >/dev/null && command -v xwininfo >/dev/null; then
    Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x1024x24 3>"$tmp/display" >"$tmp/xvfb.log" 2>&1 &
    xserver=$!
    for _ in $(seq 100); do
        [ -s "$tmp/display" ] && break
        sleep 0.1
    done
    [ -s "$tmp/display" ] || fail "Xvfb did not start: $(cat "$tmp/xvfb.log")"
    display=:$(cat "$tmp/display")
    "${runas[@]}" "${user_env[@]}" DISPLAY="$display" QT_QPA_PLATFORM=xcb "$bin/vantaro" >"$tmp/x11.out" 2>&1 &
    pid=$!
    shown=
    for _ in $(seq 600); do
        # A child of the root window: 0x... "Vantaro v1.6": ("vantaro" "Vantaro")  ...
        shown=$(xwininfo -display "$display" -root -children 2>/dev/null | sed -n 's/.*"Vantaro v[^"]*": ("[^"]*" "\([^"]*\)").*/\1/p')
        [ -n "$shown" ] && break
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -TERM "$pid" 2>/dev/null || true
    wait "$pid" || true
    [ -n "$shown" ] || fail "the window did not show under Xvfb: $(cat "$tmp/x11.out")"
    [ "$shown" = "$wm_class" ] || fail "the window's WM_CLASS class is '$shown', the desktop entry's StartupWMClass '$wm_class'"
fi
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net "$metainfo" >"$tmp/as.log" 2>&1 || {
        cat "$tmp/as.log" >&2
        fail "appstreamcli validate"
    }
fi
# The licence the package and the metadata state.
grep -q -x 'License: GPL-3+' "$prefix/share/doc/vantaro/copyright" || fail "the copyright file does not state GPL-3+"
grep -q '<project_license>GPL-3.0-or-later</project_license>' "$metainfo" || fail "the metainfo states no project licence"
echo "installed program: all checks passed ($prefix)"
