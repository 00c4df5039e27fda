# Shared by ./run and ./test: installs the Debian packages the project needs, once.
# shellcheck shell=bash

BRACKWELL_PACKAGES=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev libsimdjson-dev libplist-dev
    jq python3
)

ensure_packages() {
    local missing=() package
    for package in "${BRACKWELL_PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
    done
    ((${#missing[@]} == 0)) && return 0
    if [[ $EUID -ne 0 ]]; then
        echo "Brackwell needs these Debian packages. Install them with:" >&2
        echo "  sudo apt-get update && sudo apt-get install -y --no-install-recommends ${missing[*]}" >&2
        exit 1
    fi
    echo "Installing: ${missing[*]}" >&2
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
}

# configure_and_build PRESET: configures once, then builds incrementally.
configure_and_build() {
    local preset=$1 dir="build/$1"
    if [[ ! -f "$dir/build.ninja" ]]; then
        cmake --preset "$preset" >&2
    fi
    cmake --build "$dir" -j "$(nproc)" >&2
}
