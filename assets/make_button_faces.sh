#!/usr/bin/env bash
# Draws the faces of the three picture buttons (and the running face of the monitor
# button): 165 x 50, a fill, a one-pixel darker border, white words centred, as
# 8-bit RGBA PNG. Run from anywhere; writes next to this script.
set -euo pipefail
cd "$(dirname "$0")"

font=""
for f in /usr/share/fonts/opentype/noto/NotoSansCJK-Bold.ttc /usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc \
         /usr/share/fonts/truetype/wqy/wqy-microhei.ttc; do
  if [ -f "$f" ]; then font="$f"; break; fi
done
[ -n "$font" ] || { echo "no CJK font (install fonts-noto-cjk or fonts-wqy-microhei)" >&2; exit 1; }

convert_bin=/usr/bin/convert
[ -x "$convert_bin" ] || convert_bin=convert

face() {  # file fill border words
  "$convert_bin" -size 165x50 "xc:$2" -fill none -stroke "$3" -strokewidth 1 -draw "rectangle 0,0 164,49" \
    -stroke none -fill white -font "$font" -pointsize 20 -gravity center -annotate +0+0 "$4" \
    -alpha set -define png:color-type=6 -define png:bit-depth=8 -strip "PNG32:$1"
}

face button_idle.png '#56A8F2' '#1F8DF1' '开始监控'
face button_running.png '#9A9A9A' '#7A7A7A' '停止监控'
face button_more_offers.png '#F64559' '#EA2F44' '更多优惠'
face button_feedback.png '#56A8F2' '#1F8EF1' '问题反馈'
