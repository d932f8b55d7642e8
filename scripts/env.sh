# Sourced by the scripts: the build folders, the Wine prefixes, a display.
#
# Two products from the same sources, each with its own tree and prefix:
# $build holds vuvuzu.exe (32-bit, what most packages are built on), run by
# 32-bit Wine in a 64-bit prefix (WOW64); $build64 holds vuvuzu64.exe
# (64-bit, for Windows without WOW64), run by 64-bit Wine. Where the kernel
# runs no 32-bit programs, 32-bit Wine runs through the i386 emulator that
# scripts/setup registers.
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${VUV_BUILD_DIR:-$root/build}"
build64="$build/x64"
export WINEDEBUG=-all
# No crash waits for a debugger: under the i386 emulator a 32-bit helper of
# wineboot crashes now and then, and Wine's automatic debugger then keeps
# the prefix's wineserver, and the set-up that waits for it, alive.
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
# Emulated 32-bit processes can't load libgcc_s late (glibc's thread exit
# needs it), so the emulator preloads it into them. By name, not by path:
# the 64-bit processes they start inherit the variable, and each loader
# then finds the library of its own class.
export QEMU_SET_ENV=LD_PRELOAD=libgcc_s.so.1

if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  echo "error: 32-bit Wine does not start on this machine after set-up, so the 32-bit product" \
    "can't be tested; scripts/setup registers the i386 emulator where the kernel lacks 32-bit support" >&2
  exit 1
fi

# Selects the tree that the following commands work on: 32 or 64.
use_tree() {
  if [ "$1" = 32 ]; then
    tree="$build"
    wine_loader=wine
    unset WINELOADER
  else
    tree="$build64"
    # The wine script would start the 32-bit loader first, emulated here.
    wine_loader=/usr/lib/wine/wine64
    export WINELOADER=$wine_loader
  fi
  export WINEPREFIX="$tree/wineprefix"
}
use_tree 32

wine() { command "$wine_loader" "$@"; }

# Configures and builds the trees named (32, 64; both by default).
# Each tree is told where the other's stub is: the release package of
# either holds both. vuvpack.exe is built in the 64-bit tree; the 32-bit
# tree's tests run it too.
configure_and_build() {
  local bits dir toolchain other
  for bits in ${*:-32 64}; do
    dir="$build" toolchain=mingw32 other="$build64/vuvuzu64.exe"
    [ "$bits" = 32 ] || { dir="$build64"; toolchain=mingw64; other="$build/vuvuzu.exe"; }
    cmake -S "$root" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-$toolchain.cmake" \
      -DVUV_OTHER_STUB="$other" -DVUV_OTHER_VUVPACK_EXE="$build64/wintools/vuvpack.exe" >/dev/null
    cmake --build "$dir" -j "$(nproc)" -- --no-print-directory >/dev/null
  done
}

# Creates the current tree's prefix once; Wine then draws the window
# captions itself, since no window manager runs on the test display. This
# Wine build does not find its own fonts: Marlett, which draws the caption
# buttons, is linked into the prefix. Tahoma stays out on purpose: both
# languages share the prefix, and Wine rewrites its code-page font
# substitutes whenever a process of the other language starts, so a
# Japanese process may briefly see "MS Shell Dlg" as Tahoma, which has no
# Japanese glyphs; without Tahoma the fallback follows the process's own
# language. The Japanese dialog font maps to the installed IPA P Gothic. A
# new marker name redoes older prefixes.
ensure_prefix() {
  [ ! -f "$WINEPREFIX/.vuv-ready-2" ] || return 0
  local attempt
  for attempt in 1 2 3; do
    rm -rf "$WINEPREFIX"
    if make_prefix; then
      touch "$WINEPREFIX/.vuv-ready-2"
      return 0
    fi
    # Under the i386 emulator a process of Wine's set-up can wait on its
    # server long after the others have ended (a CI run once stopped here
    # for over an hour): every step has a limit, and a set-up that passed
    # one is shown, ended and made again.
    echo "== making the prefix $WINEPREFIX failed or did not end in time (attempt $attempt of 3);" \
      "Wine's processes then:" >&2
    ps -eo pid,etime,args | grep -E '[w]ine|[q]emu-i386' >&2 || true
    end_prefix_processes
  done
  echo "error: the Wine prefix $WINEPREFIX could not be made" >&2
  return 1
}

# Ends every Wine process of the prefix, also those that the wineserver no
# longer knows (an emulated process that lost its server does not always end).
end_prefix_processes() {
  local environ pid
  wineserver -k 2>/dev/null || true
  for environ in /proc/[0-9]*/environ; do
    pid=${environ#/proc/}
    pid=${pid%/environ}
    case "$(readlink "/proc/$pid/exe" 2>/dev/null)" in
      /usr/lib/wine/* | */qemu-i386-static) ;;
      *) continue ;;
    esac
    if tr '\0' '\n' <"$environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX"; then
      kill -9 "$pid" 2>/dev/null || true
    fi
  done
  timeout 60 wineserver -w 2>/dev/null || true
}

# One try at the prefix; each step ends within its limit or the try fails.
# Emulated, a wineboot took 14 to 45 s alone and 190 s beside two builds;
# the wait for its processes to end took 2 to 5 s, once 86 s (a
# winedevice.exe waiting on its server long after the others had ended).
make_prefix() {
  timeout 600 "$wine_loader" wineboot -i >/dev/null 2>&1 || return 1
  timeout 300 "$wine_loader" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
    >/dev/null 2>&1 || return 1
  ln -sf /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
  LC_ALL=C.UTF-8 timeout 300 "$wine_loader" reg add \
    'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' \
    /v 'ＭＳ Ｐゴシック' /t REG_SZ /d IPAPGothic /f >/dev/null 2>&1 || return 1
  timeout 180 wineserver -w
}

# Starts Xvfb on a free display (once) and keeps one wineserver alive for
# the current tree's prefix.
start_session() {
  if [ -z "${xvfb_pid:-}" ]; then
    local n=90
    while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    export DISPLAY=":$n"
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
    at_exit stop_session
  fi
  echo "$DISPLAY" >"$tree/display"
  wineserver -p 2>/dev/null || true  # one may already serve this prefix
  session_trees+=("$tree")
}

stop_session() {
  local t
  for t in "${session_trees[@]}"; do
    WINEPREFIX="$t/wineprefix" wineserver -k 2>/dev/null || true
    rm -f "$t/display"
  done
  kill "$xvfb_pid" 2>/dev/null || true
}
session_trees=()

# Adds a command to what runs at the script's end, before any command that
# was there (scripts/test sets one before it sources this file).
at_exit() {
  local earlier
  earlier=$(trap -p EXIT | sed -E "s/^trap -- '(.*)' EXIT$/\1/")
  trap "$1${earlier:+; $earlier}" EXIT
}
