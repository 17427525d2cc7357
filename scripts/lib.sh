# Shared by scripts/play and scripts/test: package installation and building.
# Sourced, not run.

VELLMAR_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
JOBS=${JOBS:-$(nproc 2>/dev/null || echo 2)}

say() { printf '\n==> %s\n' "$*"; }

# Installs the Debian packages in "$@" that are not installed yet; does
# nothing (and needs no network) when all are present.
ensure_packages() {
    local missing=()
    local pkg
    for pkg in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$pkg")
        fi
    done
    if [ ${#missing[@]} -eq 0 ]; then
        say "All needed Debian packages are installed"
        return 0
    fi
    say "Installing missing Debian packages: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# The DejaVu fonts stand in for the layout's font (see src/ui/DesignFont.h).
# miniupnpc and libnatpmp ask the home router to forward the hosting port.
# dpkg-dev lets the Debian package name the library packages it needs.
# libzip writes and reads the table files (ZIP archives, see docs/table-file.md).
# OpenSSL's libcrypto hashes map pictures several times faster than Qt does.
BUILD_PACKAGES=(g++ cmake ninja-build pkg-config qt6-base-dev qt6-multimedia-dev libzip-dev fonts-dejavu-core
    fonts-dejavu-extra libminiupnpc-dev libnatpmp-dev dpkg-dev libssl-dev)

# configure_and_build <build folder> [cmake options...]
configure_and_build() {
    local dir=$1
    shift
    say "Configuring $dir $*"
    cmake -S "$VELLMAR_ROOT" -B "$VELLMAR_ROOT/$dir" -G Ninja "$@" >"$VELLMAR_ROOT/$dir.configure.log" 2>&1 \
        || { cat "$VELLMAR_ROOT/$dir.configure.log"; return 1; }
    say "Building $dir"
    cmake --build "$VELLMAR_ROOT/$dir" -j "$JOBS"
}
