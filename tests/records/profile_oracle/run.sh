#!/usr/bin/env bash
# Compares our private-profile reader with Windows' GetPrivateProfileStringA under
# Wine (code page 936) on the cases of cases.py. Needs wine64 and
# gcc-mingw-w64-x86-64-posix (not part of the test suite: they are large).
#   bash tests/records/profile_oracle/run.sh BUILD_DIR   (a configured, built tree)
# Known differences: a quoted value exactly 10239 bytes long (Wine drops its last
# byte with the quote) and a UTF-8 byte order mark (Wine reads such files as UTF-8).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:?build directory}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
/usr/bin/python3 - "$here" <<'PY'
import sys
sys.path.insert(0, sys.argv[1])
from cases import CASES
with open("cases.txt", "w") as f:
    for i, (_, data, section, key) in enumerate(CASES):
        open(f"case{i}.ini", "wb").write(data)
        f.write(f"{section.hex() or '-'} {key.hex() or '-'}\n")
open("names.txt", "w").write("\n".join(c[0] for c in CASES) + "\n")
PY
x86_64-w64-mingw32-gcc -O1 -o oracle.exe "$here/oracle.c"
g++ -std=c++20 -I"$here/../../../src" "$here/ours.cpp" "$build/src/libquillmoor_core.a" -o ours
WINEPREFIX="$work/prefix" WINEDEBUG=-all LC_ALL=zh_CN.GBK /usr/lib/wine/wine64 oracle.exe 2>/dev/null |
  tr -d '\r' >windows.txt
./ours >ours.txt
paste -d'|' names.txt windows.txt ours.txt | awk -F'|' '{split($2, w, " "); split($3, o, " ");
  if (w[1] == "" || w[2] != o[2]) { print "differs: " $1; d++ } else s++ } END { print s " same, " d+0 " differ" }'
