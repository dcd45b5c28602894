# Shared set-up for the example, check and wheel commands: Debian packages, a
# virtual environment in .venv, and the package built from this tree. Idempotent.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
venv="$repo/.venv"
python=${QUORLEX_PYTHON:-python3}

# The build scripts/check tests: a fixed build directory that keeps the GoogleTest
# executables (never installed into the wheel) and the unrepaired extension next to
# the compiled core, so the wheel check reuses it instead of compiling again.
check_build=(-C "build-dir=$repo/build/check" -C cmake.define.QUORLEX_TESTS=ON)

ensure_system_packages() {
    local wanted=(libgsl-dev libfftw3-dev libtbb-dev libgtest-dev pkg-config g++ "$@")
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

# The cross compiler and the arm64 libraries and Python headers, from Debian's
# arm64 architecture (added to dpkg's foreign architectures if missing). GSL
# comes as its arm64 libraries only: libgsl-dev:arm64 would replace the host's
# libgsl-dev, whose headers serve both.
ensure_arm64_packages() {
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    if ! dpkg --print-foreign-architectures | grep -qx arm64; then
        $sudo dpkg --add-architecture arm64
        $sudo apt-get update -qq
    fi
    ensure_system_packages crossbuild-essential-arm64 libgsl27:arm64 libgslcblas0:arm64 libfftw3-dev:arm64 libtbb-dev:arm64 \
        libpython3.11-dev:arm64
}

# The one wheel for an architecture (default x86_64) scripts/wheel left in dist/.
built_wheel() {
    local wheels=("$repo"/dist/quorlex-*_"${1:-x86_64}".whl)
    [ ${#wheels[@]} -eq 1 ] && [ -f "${wheels[0]}" ] || { echo "expected one ${1:-x86_64} wheel in dist/" >&2; return 1; }
    echo "${wheels[0]}"
}
