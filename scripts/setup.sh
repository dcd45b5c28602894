# Shared set-up for the example and check commands: Debian packages, a virtual
# environment in .venv, and the package built from this tree. Idempotent.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
venv="$repo/.venv"
python=${QUORLEX_PYTHON:-python3}

ensure_system_packages() {
    local wanted=(libgsl-dev libfftw3-dev libtbb-dev libgtest-dev pkg-config g++)
    local missing=()
    for package in "${wanted[@]}"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        local sudo=""
        [ "$(id -u)" -eq 0 ] || sudo="sudo"
        $sudo apt-get update -qq
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
    fi
}

ensure_venv() {
    [ -x "$venv/bin/python" ] || "$python" -m venv "$venv"
    "$venv/bin/python" -m pip install -q --disable-pip-version-check \
        "scikit-build-core>=0.10" cmake ninja "$@"
}

# Builds and installs quorlex into the venv; extra arguments go to pip.
install_package() {
    "$venv/bin/python" -m pip install -q --disable-pip-version-check --no-build-isolation "$@" "$repo"
}
