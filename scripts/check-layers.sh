#!/usr/bin/env bash
# Checks that every source and header under src/ includes only its own layer and those it stands on,
# and that no layer below the window's includes a widget header. The link of each layer's test
# catches calls that run upward; this catches includes that run upward, which link either way
# when the header is all inline.
#
#   scripts/check-layers.sh [SOURCE-DIR]     (run by ctest as "layers")
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"

# What each folder may include: itself and the layers its library links, as the CMake files say.
allowed() {
    case "$1" in
    core) echo "core" ;;
    protocol) echo "core protocol" ;;
    font) echo "core protocol font" ;;
    modes) echo "core protocol font modes" ;;
    serial) echo "core protocol serial" ;;
    session) echo "core protocol font modes serial session" ;;
    widgets) echo "core protocol font widgets" ;;
    panels) echo "core protocol font modes serial session widgets panels" ;;
    app) echo "core protocol font modes serial session widgets panels app" ;;
    esac
}
layers=" core protocol font modes serial session widgets panels app "

broken=0
checked=0
for file in src/*/*.cpp src/*/*.h; do
    [[ -f "$file" ]] || continue
    checked=$((checked + 1))
    own=$(cut -d/ -f2 <<<"$file")
    mine=" $(allowed "$own") "
    while IFS= read -r used; do
        if [[ "$layers" == *" $used "* && "$mine" != *" $used "* ]]; then
            echo "check-layers: $file includes $used/, which $own/ does not stand on"
            broken=1
        fi
    done < <(grep -oE '^#include "[a-z]+/' "$file" | cut -d'"' -f2 | tr -d / | sort -u)
    case "$own" in
    core | protocol | font | modes | serial | session)
        if grep -qE '^#include <(QtWidgets/)?Q(Widget|LineEdit|CheckBox|PushButton|Label|ComboBox|PlainTextEdit|Dialog|Application|MainWindow|AbstractScrollArea)\b' "$file"; then
            echo "check-layers: $file includes a widget header below the window's layers"
            broken=1
        fi
        ;;
    esac
done
[[ $broken -eq 0 ]] || exit 1
echo "check-layers: $checked files include only their own layer and those below it"
