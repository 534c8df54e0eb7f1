#!/usr/bin/env bash
# Builds cp936_dump.c for Windows and runs it under Wine, which implements the real
# MultiByteToWideChar/WideCharToMultiByte. Prints the SHA-256 of the dump (line ends
# made LF) that the test Gbk.MatchesWindowsCodePage936 holds our conversion to, and
# leaves the dump in the work directory for a line-by-line look.
#   needs: gcc-mingw-w64-x86-64-posix wine64 (about 700 MB of Wine prefix in $work)
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
work="${1:-$(mktemp -d)}"
cd "$work"
x86_64-w64-mingw32-gcc -O1 -o cp936_dump.exe "$here/cp936_dump.c"
wine="$(command -v wine64 || command -v wine || echo /usr/lib/wine/wine64)"
WINEPREFIX="$work/prefix" WINEDEBUG=-all "$wine" cp936_dump.exe
tr -d '\r' < cp936_dump.txt > cp936_dump.lf.txt
echo "dump: $work/cp936_dump.lf.txt"
sha256sum cp936_dump.lf.txt
