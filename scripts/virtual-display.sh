# shellcheck shell=bash
# Sourced by the scripts that need a virtual X display: start_virtual_display WIDTHxHEIGHT starts Xvfb
# (-displayfd: a free display number, written once the server accepts clients; -noreset: no reset when
# the last client leaves, which would drop clients still connecting), waits for it and exports DISPLAY;
# stop_virtual_display ends it (call it from the script's EXIT trap). The same options as
# tests/VirtualDisplay.py.
start_virtual_display() {
    local number_file
    number_file=$(mktemp)
    exec {display_fd}> >(cat >"$number_file")
    Xvfb -displayfd "$display_fd" -screen 0 "$1x24" -nolisten tcp -noreset >/dev/null 2>&1 &
    virtual_display_pid=$!
    exec {display_fd}>&-
    for _ in $(seq 100); do [ -s "$number_file" ] && break; sleep 0.1; done
    if [ ! -s "$number_file" ]; then
        echo "Xvfb did not start" >&2
        rm -f "$number_file"
        return 1
    fi
    export DISPLAY=":$(cat "$number_file")"
    rm -f "$number_file"
}

stop_virtual_display() {
    if [ -n "${virtual_display_pid:-}" ]; then
        kill "$virtual_display_pid" 2>/dev/null || true
        wait "$virtual_display_pid" 2>/dev/null || true
        virtual_display_pid=
    fi
}
