#!/usr/bin/env bash
# The layer check on small trees of its own: a clean tree passes, and each kind of
# reach upward fails with a line that names the include.
set -euo pipefail
script="$(cd "$(dirname "$0")/../.." && pwd)/scripts/check-layers.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# tree <name> <file> <include line>: a tree whose only unusual line is the one given.
tree() {
  local dir="$work/$1"
  mkdir -p "$dir"/{platform,model,mapview,gridding,lib/verAziruzi,formats,app/logic}
  printf '#include "platform/Object.h"\n#include <vector>\n' >"$dir/model/GPX.h"
  printf '#include "model/GPX.h"\n#include "Workspace.h"\n' >"$dir/app/logic/Workspace.cpp"
  printf '#include "app/logic/Workspace.h"\n#include <QWidget>\n' >"$dir/app/Unit1.cpp"
  [ -n "$2" ] && printf '%s\n' "$3" >>"$dir/$2"
  echo "$dir"
}

failures=0
expect() {  # expect pass|fail <what> <dir> [text the refusal must name]
  local want="$1" what="$2" dir="$3" text="${4:-}" got out
  if out=$("$script" "$dir" 2>&1); then got=pass; else got=fail; fi
  if [ "$got" != "$want" ] || { [ -n "$text" ] && ! grep -qF -- "$text" <<<"$out"; }; then
    echo "FAILED: $what: expected $want${text:+ naming '$text'}, got $got: $out"
    failures=$((failures + 1))
  fi
}

expect pass "a tree that keeps its layers" "$(tree clean "" "")"
expect fail "the headless logic including a window" \
  "$(tree logic-up app/logic/Workspace.cpp '#include "app/Unit1.h"')" 'app/Unit1.h (app lies above it)'
expect fail "a model file including the map view" \
  "$(tree model-up model/GPX.h '#include "mapview/GPXDraw.h"')" 'mapview/GPXDraw.h'
expect fail "an include that climbs with .." \
  "$(tree climbs formats/GPXFile.cpp '#include "../app/Unit1.h"')" '../app/Unit1.h'
expect fail "a climb that stays in the layers" \
  "$(tree climbs-down app/logic/Workspace.cpp '#include "../../model/GPX.h"')" '../../model/GPX.h'
expect fail "an upward include in angle brackets" \
  "$(tree angle gridding/ShepardInterp.h '#include <formats/HTConvert.h>')" 'formats/HTConvert.h'
expect fail "Qt in the headless logic" \
  "$(tree qt-logic app/logic/Workspace.cpp '#include <QString>')" 'only app/ uses Qt'
expect pass "the XML library including the layer below it" \
  "$(tree xml-down lib/verAziruzi/XpBase.h '#include "gridding/ShepardInterp.h"')"

[ "$failures" -eq 0 ] && echo "layer check: every case as expected"
exit "$failures"
