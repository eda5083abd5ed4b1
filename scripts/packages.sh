# Sourced by the other scripts: installs the Debian packages given as
# arguments that are not installed yet (with sudo when not root).
larkspur_install_packages() {
    missing=""
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" \
            || missing="$missing $package"
    done
    [ -z "$missing" ] && return 0
    if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi
    echo "Installing:$missing"
    $sudo apt-get update -qq || return 1
    # shellcheck disable=SC2086
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing
}

LARKSPUR_BUILD_PACKAGES="cmake g++ make pkg-config qt6-base-dev qt6-base-dev-tools libglib2.0-dev \
libgtest-dev libgmock-dev libbenchmark-dev"
