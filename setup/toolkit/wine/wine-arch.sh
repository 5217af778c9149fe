# Sourced by the Wine scripts: picks the prefix architecture for the
# program under test. The 64-bit build of the Windows tests (made where the
# machine runs no 32-bit code, so no 32-bit Wine) runs under Wine's 64-bit
# loader in a 64-bit prefix; Debian's `wine` and `wine-stable` start the
# 32-bit loader whenever it is installed, so stand-ins for them, kept
# beside the prefix, go first on PATH.
#   wine_arch_for PROGRAM.exe PREFIX
wine_arch_for() {
  local offset magic bin name
  offset=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
  magic=$(od -An -tx2 -j$((offset + 24)) -N2 "$1" | tr -d ' ')
  if [ "$magic" != 020b ]; then  # PE32, not PE32+
    export WINEARCH=win32
    return
  fi
  export WINEARCH=win64
  bin=$2.bin
  mkdir -p "$bin"
  bin=$(cd "$bin" && pwd)
  for name in wine wine-stable; do
    printf '#!/bin/sh\nexec /usr/lib/wine/wine64 "$@"\n' >"$bin/$name"
    chmod +x "$bin/$name"
  done
  case ":$PATH:" in *":$bin:"*) ;; *) export PATH=$bin:$PATH ;; esac
}
