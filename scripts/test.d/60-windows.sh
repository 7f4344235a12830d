#!/usr/bin/env bash
# The Windows build: cross-builds build-windows/birthday-show.exe and the Windows unit tests
# with MinGW-w64, checks the executable is one file needing only Windows' own DLLs, and runs
# the tests under Wine on a virtual X server. Without the cross compiler or Wine it says so and
# skips.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$root/build-windows
for tool in x86_64-w64-mingw32-g++-posix wine Xvfb; do
  if ! command -v "$tool" >/dev/null; then
    echo "NOTICE: 60-windows skipped: $tool is not installed (scripts/setup installs it)"
    exit 0
  fi
done

mkdir -p "$build/host"
# The media embedder runs on this machine while the rest is built for Windows.
g++ -std=c++20 -O2 -o "$build/host/media_embed" "$root/media/embed.cpp"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DSHOW_HOST_MEDIA_EMBED="$build/host/media_embed" -DCMAKE_CROSSCOMPILING_EMULATOR=wine >/dev/null
cmake --build "$build" -j2

exe=$build/birthday-show.exe
size=$(stat -c %s "$exe")
echo "birthday-show.exe: $size bytes"
[ "$size" -lt $((12 * 1024 * 1024)) ] || { echo "FAIL: birthday-show.exe is over 12 MB"; exit 1; }
dlls=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/.*DLL Name: //p' | tr 'A-Z' 'a-z' | sort)
echo "imports:" $dlls
for dll in $dlls; do
  case $dll in
    kernel32.dll|user32.dll|gdi32.dll|winmm.dll|ole32.dll|msvcrt.dll|advapi32.dll) ;;
    *) echo "FAIL: birthday-show.exe needs $dll"; exit 1 ;;
  esac
done

export WINEPREFIX=$build/wineprefix WINEDEBUG=-all
display=:$((60 + RANDOM % 30))
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
trap 'kill $xvfb_pid 2>/dev/null; wineserver -k 2>/dev/null || true' EXIT
export DISPLAY=$display
sleep 1
[ -d "$WINEPREFIX" ] || wineboot -i >/dev/null 2>&1 || true
ctest --test-dir "$build" --output-on-failure
