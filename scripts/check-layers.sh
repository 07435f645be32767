#!/usr/bin/env bash
# check-layers.sh [root]: fails when a source file of the program reaches above its
# own layer. A lower layer never knows a higher one:
#   platform < model < mapview < gridding < lib/verAziruzi < formats < app/logic < app
# Refused, with a line each:
#   - an include of a file in a higher layer (quoted or in angle brackets);
#   - an include whose path climbs with "..", which would hide where it points;
#   - a Qt header anywhere below app/ (the headless logic included).
# Includes are written from the top of the tree ("model/GPX.h"); a bare name is a
# file of the includer's own folder. Tests and benchmarks may include anything.
set -euo pipefail
root="${1:-$(dirname "$0")/..}"
cd "$root"

layers="platform model mapview gridding lib/verAziruzi formats app/logic app"

folders=()
for f in platform model mapview gridding lib/verAziruzi formats app; do [ -d "$f" ] && folders+=("$f"); done
[ ${#folders[@]} -gt 0 ] || exit 0

grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]' "${folders[@]}" \
    --include='*.h' --include='*.hpp' --include='*.cpp' --include='*.cc' --include='*.inc' |
  awk -v layers="$layers" '
    BEGIN { n = split(layers, layer, " ") }
    # The layer a path lies in: the longest layer folder it starts with.
    function rank(path,   i, best, bestLength) {
      best = 0; bestLength = 0
      for (i = 1; i <= n; ++i)
        if (index(path, layer[i] "/") == 1 && length(layer[i]) > bestLength) { best = i; bestLength = length(layer[i]) }
      return best
    }
    {
      split($0, part, ":")
      file = part[1]; line = part[2]
      if (!match($0, /include[[:space:]]*[<"][^">]*[">]/)) next
      spelled = substr($0, RSTART, RLENGTH)
      sub(/^include[[:space:]]*/, "", spelled)
      target = substr(spelled, 2, length(spelled) - 2)
      own = rank(file)
      if (target ~ /(^|\/)\.\.(\/|$)/) {
        printf "%s:%s: %s must not include %s (a path with \"..\")\n", file, line, layer[own], target > "/dev/stderr"
        bad = 1
        next
      }
      if (layer[own] != "app" && target ~ /^Q[A-Za-z]*(\/|$)/) {
        printf "%s:%s: %s must not include %s (only app/ uses Qt)\n", file, line, layer[own], target > "/dev/stderr"
        bad = 1
        next
      }
      above = rank(target)
      if (above > own) {
        printf "%s:%s: %s must not include %s (%s lies above it)\n", file, line, layer[own], target, layer[above] > "/dev/stderr"
        bad = 1
      }
    }
    END { exit bad }'
