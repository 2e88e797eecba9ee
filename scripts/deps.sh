# Sourced by the set-up scripts: installs the Debian packages Vexlin needs that are missing.
# Runs apt-get as root, or through sudo when there is one.
vexlin_install() {
  local missing=()
  for pkg in "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get -o DPkg::Lock::Timeout=600 update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "${missing[@]}"
}

VEXLIN_BUILD_PACKAGES=(cmake make g++ pkg-config libgtest-dev qt6-base-dev libgl-dev
  fonts-dejavu-core fonts-liberation2 xxd libcli11-dev nlohmann-json3-dev scdoc libical-dev libpng-dev)
# Peers the content tests compare with (they skip, and say so, where one is missing).
VEXLIN_PEER_PACKAGES=(netpbm txt2pdbdoc libmobi-tools python3 libpalm-perl python3-vobject python3-icalendar)

# Configures (once) and builds the one build tree.
vexlin_build() {
  local top="$1"; shift
  cmake -S "$top" -B "$top/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVEXLIN_UI=ON -DVEXLIN_TESTS=ON -DVEXLIN_BENCH=ON -DVEXLIN_SANITIZE=OFF >/dev/null
  cmake --build "$top/build" --parallel 2 "$@"
}
