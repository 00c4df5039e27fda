# Shared by ./run and ./test: installs the Debian packages the project needs, once.
# shellcheck shell=bash

BRACKWELL_PACKAGES=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-webengine-dev qt6-webchannel-dev libqt6svg6 libsimdjson-dev
    nodejs
    jq python3 python3-ruamel.yaml python3-yaml
)

ensure_packages() {
    local missing=() package
    for package in "${BRACKWELL_PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
    done
    # npm builds the editor page. NodeSource's nodejs carries its own npm; Debian's is a package of its own.
    if ! command -v npm >/dev/null; then
        missing+=(npm)
    fi
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
