#!/usr/bin/env bash
# Rebuilds the checked-in seed corpora of the fuzz targets.
#   filter/fuzz/make-seeds.sh RASTERGEN PPD_DIR
# Job seeds: a model byte (0 A4 203 dpi, 1 A4 300 dpi, 2 label), the job
# options and a line feed, then a small raster stream.  Option seeds: the
# options, a zero byte, then a PPD.
set -euo pipefail
gen=$1 ppds=$2
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

job() {  # name model options raster
  { printf '\\x%02x' "$2" | xargs -0 printf; printf '%s\n' "$3"; cat "$4"; } > "$here/corpus/job/$1"
}
"$gen" page "$tmp/gray.ras" 40 30 128
"$gen" page "$tmp/white.ras" 17 5 255
"$gen" random "$tmp/r2.ras" 2
"$gen" random "$tmp/r9.ras" 9
"$gen" malformed "$tmp"
job a4-diffuse 0 "" "$tmp/gray.ras"
job a4-threshold-mirror 1 "OP_HalfTone=False OP_Mirror=1" "$tmp/gray.ras"
job a4-rotate-negative 0 "OP_Rotate=1 OP_ReversePhase=1 OP_PaperType=7" "$tmp/r2.ras"
job label-rotate 2 "OP_Rotate=3 OP_PaperSel=2 OP_LabelGAP=3" "$tmp/white.ras"
job label-random 2 "OP_HalfTone=False OP_HorizontalOffset=-3" "$tmp/r9.ras"
for m in truncated-page compressed-garbled wrapping-width rgb16 cmyk planar zero-height; do
  job "malformed-$m" 0 "" "$tmp/$m.ras"
done

opt() {  # name options ppd
  { printf '%s\0' "$2"; cat "$3"; } > "$here/corpus/options/$1"
}
opt a4-203 "OP_PrintSpeed=4 OP_HalfTone=yes" "$ppds/qa4-203.ppd"
opt label "OP_Rotate=3 OP_HorizontalOffset=-3 copies=2 'title=a b'" "$ppds/qlbl-203.ppd"
opt minimal 'OP_HalfTone=7 OP_Mirror' <(printf '*PPD-Adobe: "4.3"\n*cupsModelNumber: 1001\n*OpenUI *OP_HalfTone: PickOne\n*DefaultOP_HalfTone: Enabled\n*OP_HalfTone Enabled: ""\n*OP_HalfTone 7: ""\n*CloseUI: *OP_HalfTone\n')
