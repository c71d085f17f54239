#!/usr/bin/env bash
# The simulation builds and runs without GL: no simulation library may reference a GL or
# epoxy symbol, and the test programs of the simulation (linked against those libraries
# alone, and run by CTest as tests of their own) must not load a GL library.
# Usage: nogl.sh LIBRARY.a ... -- TEST_PROGRAM ...
set -uo pipefail
bad=0

libraries=()
while [ $# -gt 0 ] && [ "$1" != -- ]; do
    libraries+=("$1")
    shift
done
[ $# -gt 0 ] && shift
programs=("$@")
if [ ${#libraries[@]} -eq 0 ] || [ ${#programs[@]} -eq 0 ]; then
    echo "usage: nogl.sh LIBRARY.a ... -- TEST_PROGRAM ..."
    exit 1
fi

gl_symbols='^(epoxy_|glu?[A-Z]|glX|egl[A-Z]|SDL_GL_)'
for archive in "${libraries[@]}"; do
    if [ ! -f "$archive" ]; then
        echo "$archive: missing"
        bad=$((bad + 1))
        continue
    fi
    refs=$(nm -u "$archive" 2>/dev/null | awk '{print $NF}' | grep -E "$gl_symbols" | sort -u)
    if [ -n "$refs" ]; then
        echo "$(basename "$archive") references GL: $(echo "$refs" | head -8 | xargs)"
        bad=$((bad + 1))
    fi
done

for exe in "${programs[@]}"; do
    if [ ! -x "$exe" ]; then
        echo "$exe: missing"
        bad=$((bad + 1))
        continue
    fi
    libs=$(readelf -d "$exe" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | grep -E '^lib(epoxy|GL|GLU|OpenGL|GLX|EGL)[.-]')
    if [ -n "$libs" ]; then
        echo "$(basename "$exe") loads $(echo "$libs" | xargs)"
        bad=$((bad + 1))
    fi
done

if [ $bad -gt 0 ]; then
    echo "$bad place(s) where the simulation depends on GL"
    exit 1
fi
echo "${#libraries[@]} simulation libraries and ${#programs[@]} of their test programs need no GL"
