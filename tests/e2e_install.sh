#!/usr/bin/env bash
# cmake --install gives a game that runs from anywhere; when its folder cannot be written
# (an ordinary user and a system prefix), the settings and the log go to the XDG folders.
set -euo pipefail
build=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
chmod 755 "$tmp"
cmake --install "$build" --prefix "$tmp/usr" >/dev/null
for f in usr/bin/mygame usr/lib/mygame/mygame usr/lib/mygame/Data/Maps/FirstBlood.map \
         usr/lib/mygame/Shaders/LandTile.gpr usr/share/applications/mygame.desktop \
         usr/share/icons/hicolor/scalable/apps/mygame.svg; do
    [ -e "$tmp/$f" ] || { echo "not installed: $f"; exit 1; }
done

mkdir -p "$tmp/home" "$tmp/elsewhere"
run_as=()
if [ "$(id -u)" -eq 0 ]; then
    # root may write anywhere; an ordinary user shows the read-only case
    if ! command -v setpriv >/dev/null; then echo "setpriv missing"; exit 1; fi
    chown nobody "$tmp/home"
    run_as=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
fi
cd "$tmp/elsewhere"
out=$(env -i PATH=/usr/bin:/bin HOME="$tmp/home" ALSOFT_DRIVERS=null \
      "${run_as[@]}" "$tmp/usr/bin/mygame" --headless --batch --frames 30)
[ "$out" = '{"frames": 30}' ] || { echo "unexpected summary: $out"; exit 1; }
if [ ${#run_as[@]} -gt 0 ]; then
    [ -f "$tmp/home/.config/mygame/Config.ini" ] || { echo "no Config.ini in the XDG config folder"; exit 1; }
    [ -f "$tmp/home/.local/state/mygame/InfoLog.txt" ] || { echo "no InfoLog.txt in the XDG state folder"; exit 1; }
    grep -q "MainMenuScene\" - complete." "$tmp/home/.local/state/mygame/InfoLog.txt" \
        || { echo "the installed game did not reach its menu"; exit 1; }
    [ ! -e "$tmp/usr/lib/mygame/Config.ini" ] || { echo "wrote into the installed folder"; exit 1; }
fi
