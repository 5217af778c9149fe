# Sourced by the Wine test scripts, inside a virtual display. Wine's
# Tahoma has no Thai or CJK glyphs and Wine ignores the font links for it
# (bold CJK and all Thai text show as empty boxes), so a run that needs
# them substitutes the default UI face ("MS Shell Dlg", what the
# program's fonts start from) by a font that has them and Latin letters
# too. The shared prefix gets Wine's own substitute (Tahoma) back
# afterwards.
ui_font_substitute() {
  local face=$1 reg
  reg=$(mktemp --suffix=.reg)
  {
    echo 'REGEDIT4'
    echo
    echo '[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes]'
    echo "\"MS Shell Dlg\"=\"$face\""
    echo "\"MS Shell Dlg 2\"=\"$face\""
  } >"$reg"
  wine regedit /S "$(winepath -w "$reg" 2>/dev/null || echo "$reg")" </dev/null >/dev/null 2>&1 || true
  wineserver -w || true
  rm -f "$reg"
}
