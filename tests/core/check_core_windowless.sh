#!/bin/sh
# The core library needs no window: none of its files may include a window
# header of ours or of Qt's.
core="$1/src/core"
found=$(grep -rnE '#include [<"](Qt(Widgets|Gui)/|QWidget|QApplication|QGuiApplication|window/|pane/|dialogs/|runner/)' "$core")
if [ -n "$found" ]; then
    echo "core files include window headers:"
    echo "$found"
    exit 1
fi
echo "core includes no window header"
