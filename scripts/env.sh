# Sourced by the scripts: the build folder, its Wine prefix, a display.
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${VUV_BUILD_DIR:-$root/build}"
export WINEPREFIX="$build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

configure_and_build() {
  cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw32.cmake" >/dev/null
  cmake --build "$build" -j "$(nproc)" -- --no-print-directory >/dev/null
}

# Creates the prefix once; Wine then draws the window captions itself,
# since no window manager runs on the test display. This Wine build does not
# find its own fonts: Marlett, which draws the caption buttons, is linked
# into the prefix. Tahoma stays out on purpose: both languages share the
# prefix, and Wine rewrites its code-page font substitutes whenever a
# process of the other language starts, so a Japanese process may briefly
# see "MS Shell Dlg" as Tahoma, which has no Japanese glyphs; without Tahoma
# the fallback follows the process's own language. The Japanese dialog font
# maps to the installed IPA P Gothic. A new marker name redoes older
# prefixes.
ensure_prefix() {
  if [ ! -f "$WINEPREFIX/.vuv-ready-2" ]; then
    rm -rf "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
    ln -sf /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
    LC_ALL=C.UTF-8 wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' \
      /v 'ＭＳ Ｐゴシック' /t REG_SZ /d IPAPGothic /f >/dev/null 2>&1
    wineserver -w
    touch "$WINEPREFIX/.vuv-ready-2"
  fi
}

# Starts Xvfb on a free display and keeps one wineserver alive.
start_session() {
  local n=90
  while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY=":$n"
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
  echo "$DISPLAY" >"$build/display"
  wineserver -p 2>/dev/null || true  # one may already serve this prefix
  trap stop_session EXIT
}

stop_session() {
  wineserver -k 2>/dev/null || true
  kill "$xvfb_pid" 2>/dev/null || true
  rm -f "$build/display"
}
