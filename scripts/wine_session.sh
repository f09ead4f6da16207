# scripts/wine_session.sh: sourced by test.sh and run.sh.
# start_wine_session <prefix>: a display (Xvfb unless one is given), the project's Wine
# prefix, and one persistent wineserver for the whole run; all stopped at exit.
XVFB_PID=""
start_wine_session() {
    export ZAN_WINEPREFIX=$1
    export WINEPREFIX=$1 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    if [ -z "${DISPLAY:-}" ] || [ "${ZAN_FORCE_XVFB:-0}" = 1 ]; then
        local n=$(( 90 + RANDOM % 400 ))
        while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
        Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
        XVFB_PID=$!
        export DISPLAY=":$n"
        for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
    fi
    "$(dirname "${BASH_SOURCE[0]}")/wine_prefix.sh" "$1"
    # A server that already runs for this prefix (another session) is left alone.
    if /usr/lib/wine/wineserver64 -p 2>/dev/null; then
        OWN_WINESERVER=1
    fi
    # Start Wine's own background processes (services, the virtual desktop) now, detached
    # from our output: started by the first test instead, they would inherit ctest's pipe
    # and keep that test "running" until its time-out.
    /usr/lib/wine/wine64 wineboot >/dev/null 2>&1 </dev/null || true
    /usr/lib/wine/wine64 explorer.exe /desktop=Default,1280x1024 >/dev/null 2>&1 </dev/null &
    sleep 2
    trap stop_wine_session EXIT
}

OWN_WINESERVER=0
stop_wine_session() {
    [ "$OWN_WINESERVER" = 1 ] && { /usr/lib/wine/wineserver64 -k 2>/dev/null || true; }
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
}
