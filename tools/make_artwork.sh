#!/usr/bin/env bash
# Draws the main window's artwork into Resource/ with ImageMagick: the five
# bar buttons in their normal, hot and active looks, and the four picture
# buttons of the title area, up and pressed. Run it again after a change;
# the JPEG files it writes are committed.
set -euo pipefail
cd "$(dirname "$0")/.."
out=Resource
mkdir -p "$out"
font=$(fc-list ':lang=zh' file | grep -i 'NotoSansCJK-Bold\|NotoSerifCJK-Bold' | head -n 1 | cut -d: -f1)
[ -n "$font" ] || { echo "no CJK font (fonts-noto-cjk)"; exit 1; }

captions=("订货单" "支出管理" "统计报表" "单据查询" "基本资料")
# normal: deep blue; hot: lighter blue; active: warm orange, like the grids' highlight.
for n in 1 2 3 4 5; do
    text=${captions[$((n - 1))]}
    convert -size 150x50 gradient:'#3A6FC4-#1D3F7A' \
        -font "$font" -pointsize 18 -fill '#E8F0FF' -gravity center -annotate +0+1 "$text" \
        -quality 92 "$out/normal$n.jpg"
    convert -size 150x50 gradient:'#6B9BE8-#2E5CA8' \
        -font "$font" -pointsize 18 -fill white -gravity center -annotate +0+1 "$text" \
        -quality 92 "$out/hot$n.jpg"
    convert -size 150x50 gradient:'#FFE08A-#FEB547' \
        -font "$font" -pointsize 18 -fill '#1D3F7A' -gravity center -annotate +0+1 "$text" \
        -quality 92 "$out/active$n.jpg"
done

# Title-area buttons: 1 help, 2 maximise/restore, 3 minimise, 4 exit.
draw_button() {
    local file=$1 top=$2 bottom=$3 glyph=$4
    convert -size 28x22 gradient:"$top-$bottom" -stroke white -strokewidth 2 -fill none \
        -draw "$glyph" -quality 92 "$file"
}
glyphs=(
    "text 10,16 '?'"
    "rectangle 8,6 19,15"
    "line 8,15 19,15"
    "line 9,6 18,15 line 18,6 9,15"
)
for i in 1 2 3 4; do
    glyph=${glyphs[$((i - 1))]}
    if [ "$i" = 1 ]; then
        convert -size 28x22 gradient:'#3A6FC4-#1D3F7A' -font "$font" -pointsize 15 -fill white -gravity center \
            -annotate +0+0 '?' -quality 92 "$out/MenuB${i}_Normal.jpg"
        convert -size 28x22 gradient:'#FFE08A-#FEB547' -font "$font" -pointsize 15 -fill '#1D3F7A' -gravity center \
            -annotate +0+0 '?' -quality 92 "$out/MenuB${i}_Down.jpg"
        continue
    fi
    draw_button "$out/MenuB${i}_Normal.jpg" '#3A6FC4' '#1D3F7A' "$glyph"
    draw_button "$out/MenuB${i}_Down.jpg" '#FEB547' '#E08A1F' "$glyph"
done

# The page entries' pictures and the title strip.
entry() { convert -size 48x48 gradient:"$2-$3" -font "$font" -pointsize 22 -fill white -gravity center \
    -annotate +0+0 "$4" -quality 92 "$out/$1"; }
entry entry_bill.jpg '#4F8DE0' '#1D3F7A' '单'
entry entry_list.jpg '#5DB87A' '#2E7046' '表'
entry entry_query.jpg '#E0A84F' '#A0661D' '查'
entry entry_report.jpg '#B56FD6' '#6A2E8A' '统'
entry entry_base.jpg '#4FC1C9' '#1D7A80' '档'
entry entry_payout.jpg '#E06F6F' '#8A2E2E' '支'
convert -size 1032x64 gradient:'#254C8E-#0F2650' -font "$font" -pointsize 26 -fill '#E8F0FF' -gravity west \
    -annotate +24+0 'Olvend 订单管理系统' -quality 92 "$out/title.jpg"
echo "artwork written to $out/"
