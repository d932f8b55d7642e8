# Sourced by the scripts: the build folders, the Wine prefix, a display.
#
# The product is the 32-bit build in $product_build. Where the kernel runs
# no 32-bit programs (32-bit Wine can't start), the tests, the demo and the
# benchmarks run a 64-bit build of the same sources under 64-bit Wine, in
# $build = $product_build/x64, and the 32-bit product is checked as a file.
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
product_build="${VUV_BUILD_DIR:-$root/build}"
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  build="$product_build"
  wine_loader=wine
else
  build="$product_build/x64"
  wine_loader=/usr/lib/wine/wine64
  export WINELOADER=$wine_loader
fi
export WINEPREFIX="$build/wineprefix"
export WINEDEBUG=-all
# Emulated 32-bit processes can't load libgcc_s late (glibc's thread exit
# needs it), so the emulator preloads it into them, and only into them.
export QEMU_SET_ENV=LD_PRELOAD=/usr/lib/i386-linux-gnu/libgcc_s.so.1
export WINEDLLOVERRIDES="mscoree,mshtml="

wine() { command "$wine_loader" "$@"; }

configure_and_build() {
  cmake -S "$root" -B "$product_build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw32.cmake" >/dev/null
  if [ "$build" = "$product_build" ]; then
    cmake --build "$product_build" -j "$(nproc)" -- --no-print-directory >/dev/null
  else
    echo "note: this kernel runs no 32-bit programs: the tests run a 64-bit build under 64-bit Wine;" \
      "the 32-bit product is built and checked as a file" >&2
    cmake --build "$product_build" -j "$(nproc)" --target vuvuzu -- --no-print-directory >/dev/null
    cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw64.cmake" \
      -DVUV_PRODUCT_STUB="$product_build/vuvuzu.exe" -DVUV_PRODUCT_MAP="$product_build/vuvuzu.map" >/dev/null
    cmake --build "$build" -j "$(nproc)" -- --no-print-directory >/dev/null
  fi
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
    wine wineboot -i >/dev/null 2>&1
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
