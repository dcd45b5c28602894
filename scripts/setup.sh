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
    # The native packages are named with the machine's own architecture: with a
    # foreign architecture enabled (the aarch64 cross build), libgsl-dev:arm64
    # can stand in for the native package, which it replaces, and would
    # otherwise count as installed. Extra packages are taken as given (an
    # architecture-independent package answers to no architecture suffix).
    local arch missing=()
    arch=$(dpkg --print-architecture)
    local wanted=(libgsl-dev libfftw3-dev libtbb-dev libgtest-dev pkg-config g++)
    wanted=("${wanted[@]/%/:$arch}" "$@")
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

# pycatch22 1.0.2 (the catch22 v1 reference) and aeon (for the UCR/UEA series its
# wheel bundles) in a directory of their own, which the v1 tests and benchmark
# import from: pycatch22 0.4.5, the classic reference, keeps the venv's import
# name. Without dependencies: the tests read aeon's data files alone.
v1_reference="$venv/v1-reference"
ensure_v1_reference() {
    [ -f "$v1_reference/.complete" ] && return
    rm -rf "$v1_reference"
    "$venv/bin/python" -m pip install -q --disable-pip-version-check --no-deps --target "$v1_reference" \
        "pycatch22==1.0.2" "aeon==1.6.0"
    touch "$v1_reference/.complete"
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
