# Shared by the build and test scripts: locate the checkout, name the
# libraries and their files, install missing Debian packages (or say which to
# install), count cores.
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
jobs=$(nproc 2>/dev/null || echo 2)

# need_packages PKG... : installs whichever are missing, once per run.
apt_updated=no
need_packages() {
  local missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "Missing Debian packages; install them with:" >&2
    echo "  sudo apt-get update && sudo apt-get install -y ${missing[*]}" >&2
    exit 1
  fi
  # One line for what is installed; apt's own chatter (debconf's notes among
  # it) only when it fails.
  echo "installing Debian packages: ${missing[*]}" >&2
  local log
  log=$(mktemp)
  if [ "$apt_updated" = no ]; then
    apt-get update -qq >"$log" 2>&1 || { cat "$log" >&2; rm -f "$log"; exit 1; }
    apt_updated=yes
  fi
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >"$log" 2>&1 ||
    { cat "$log" >&2; rm -f "$log"; exit 1; }
  rm -f "$log"
}

# run_step LABEL COMMAND... : runs COMMAND with its output set aside and
# prints one line, LABEL and the seconds it took; when COMMAND fails, its
# output's last lines and the status, and the script stops.
run_step() {
  local label=$1 started=$SECONDS log status=0
  shift
  log=$(mktemp)
  printf '%s ... ' "$label"
  ("$@") >"$log" 2>&1 || status=$?  # a subshell: an exit in COMMAND still reports
  if [ "$status" -ne 0 ]; then
    echo "failed after $((SECONDS - started)) s (status $status):"
    tail -n 40 "$log"
    rm -f "$log"
    exit "$status"
  fi
  echo "$((SECONDS - started)) s"
  rm -f "$log"
}

# The libraries, by host function name, in the catalogue's order.
command -v python3 >/dev/null || need_packages python3
material_libraries=$(python3 -c 'import json, sys
print(" ".join(f["name"] for f in json.load(open(sys.argv[1]))["functions"]))' \
  "$repo/common/catalogue.json")

# library_file NAME [windows] : the file a host loads for library NAME:
# libNAME.so, or NAME.dll on Windows.
library_file() {
  if [ "${2:-}" = windows ]; then echo "$1.dll"; else echo "lib$1.so"; fi
}

# Packages every build needs (the host tool is part of every build).
need_build_packages() {
  need_packages cmake g++ make libgtest-dev
  need_tool_packages
}

# The host tool: its argument parser, and PLplot with its SVG and PNG drivers.
need_tool_packages() {
  need_packages libcli11-dev pkg-config libplplot-dev plplot-driver-cairo
}

# wine64 ARGS... : a Windows program under wine, without address-space
# randomisation, as the windows preset runs its tests (see
# cmake/mingw-w64-x86_64.cmake for why).
wine64() {
  setarch -R /usr/lib/wine/wine64 "$@"
}

# install_python_package : builds the Python package from this checkout and
# installs it as a user does (pip, offline, into a virtual environment that
# sees Debian's packages: build/python-venv). Prints that environment's
# python.
install_python_package() {
  need_packages cmake g++ make python3-venv python3-pip python3-setuptools python3-wheel \
    python3-numpy
  local venv=$repo/build/python-venv
  [ -x "$venv/bin/python" ] || /usr/bin/python3 -m venv --system-site-packages "$venv"
  "$venv/bin/pip" install --quiet --no-index --no-build-isolation --no-deps --force-reinstall \
    "$repo/python" >&2
  echo "$venv/bin/python"
}
