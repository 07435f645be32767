# Sourced by run.sh, test.sh and bench/run.sh: installs the Debian packages that are
# missing, and nothing when all are there, so a second run starts at once.
ensure_packages() {
  local missing=()
  local pkg
  for pkg in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$pkg")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# What building and testing the project needs; the window tests run once more
# under a virtual X server.
SHOALWRIGHT_BUILD_PACKAGES=(
  g++ cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev libjpeg62-turbo-dev libicu-dev unzip
  libcurl4-openssl-dev
  # the loopback servers of the transfer tests
  python3 python3-pyftpdlib
  # the window tests run once more on a virtual X server
  xvfb xauth
  # xmllint, the independent reader that checks the files the program writes
  libxml2-utils
)

# What only the benchmarks need beyond the build: the fast DOM reader the GPX
# load is measured against.
SHOALWRIGHT_BENCH_PACKAGES=(libpugixml-dev)

# The tests show that number texts ignore a German locale, so that locale must exist.
ensure_locale() {
  local name="$1"  # e.g. de_DE.UTF-8
  local short
  short=$(echo "$name" | sed 's/UTF-8/utf8/')
  locale -a 2>/dev/null | grep -qix "$short" && return 0
  ensure_packages locales
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  if grep -q "^# *$name UTF-8" /etc/locale.gen 2>/dev/null; then
    $sudo sed -i "s/^# *$name UTF-8/$name UTF-8/" /etc/locale.gen
  elif ! grep -q "^$name UTF-8" /etc/locale.gen 2>/dev/null; then
    echo "$name UTF-8" | $sudo tee -a /etc/locale.gen >/dev/null
  fi
  $sudo locale-gen >/dev/null
}

# What starting the program needs beyond the build: a virtual display for machines
# without one.
SHOALWRIGHT_RUN_PACKAGES=(xvfb xauth)

# What looking at the running program as a user does needs beyond the above:
# keyboard and mouse for it on a virtual X server.
SHOALWRIGHT_LOOK_PACKAGES=(xdotool)
