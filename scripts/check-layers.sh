#!/usr/bin/env bash
# Fails when a source file includes a folder above its own in the layer order: a
# lower layer never knows a higher one. Tests and benchmarks may include anything.
set -euo pipefail
cd "$(dirname "$0")/.."

layers="platform model mapview gridding lib/verAziruzi formats app tests bench"
folders="platform model mapview gridding lib/verAziruzi formats app"

# shellcheck disable=SC2086
grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' $(for f in $folders; do [ -d "$f" ] && echo "$f"; done) \
    --include='*.h' --include='*.hpp' --include='*.cpp' --include='*.cc' |
  awk -v layers="$layers" '
    BEGIN { n = split(layers, layer, " ") }
    function rank(path,   i) {
      for (i = 1; i <= n; ++i) if (index(path, layer[i] "/") == 1) return i
      return 0
    }
    {
      split($0, part, ":")
      file = part[1]; line = part[2]
      if (!match($0, /"[^"]*"/)) next
      target = substr($0, RSTART + 1, RLENGTH - 2)
      own = rank(file); above = rank(target)
      if (above > own) {
        printf "%s:%s: %s must not include %s (%s lies above it)\n", file, line, layer[own], target, layer[above] > "/dev/stderr"
        bad = 1
      }
    }
    END { exit bad }'
