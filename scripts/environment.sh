# Shared set-up of scripts/test, scripts/demo and scripts/bench: packages,
# build and a Wine prefix of the project's own. Sourced, not run.

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="$ROOT/build"

PACKAGES=(g++-mingw-w64-x86-64-posix mingw-w64-tools wine64 wine cmake make googletest
          librapidxml-dev libz-mingw-w64-dev openjdk-17-jdk-headless clang lld wixl zip unzip
          osslsigncode openssl libxml2-utils icoutils msitools python3 python3-prometheus-client)

install_missing_packages() {
    local missing=()
    local package
    for package in "${PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
            missing+=("$package")
    done
    # A JDK from elsewhere serves as well as Debian's.
    if command -v javac >/dev/null 2>&1; then
        missing=("${missing[@]/openjdk-17-jdk-headless/}")
    fi
    missing=($(printf '%s\n' "${missing[@]}" | grep -v '^$' || true))
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# Debian's places of the header-only and source-only dependencies; a warning
# fails the build.
configure_build() {
    cmake -S "$ROOT" -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_COMPILE_WARNING_AS_ERROR=ON \
        -DRAPIDXML_INCLUDE_DIR=/usr/include/rapidxml -DGOOGLETEST_SOURCE_DIR=/usr/src/googletest >/dev/null
}

build_all() {
    configure_build
    cmake --build "$BUILD" -j "$(nproc)"
}

# The product once more with clang and lld, to keep the sources free of what
# only GCC accepts. Unoptimised: only the compiler's verdict counts.
build_with_clang() {
    cmake -S "$ROOT" -B "$BUILD/clang" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/clang-x86_64-w64-mingw32.cmake" \
        -DHOSTWELL_BUILD_TESTS=OFF -DCMAKE_COMPILE_WARNING_AS_ERROR=ON \
        -DRAPIDXML_INCLUDE_DIR=/usr/include/rapidxml >/dev/null
    cmake --build "$BUILD/clang" -j "$(nproc)"
}

use_wine_prefix() {
    export WINEPREFIX="$BUILD/wineprefix"
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
}

# The first program in a prefix starts Wine's background services, which keep
# the streams of that program; so it runs with all three on /dev/null, except
# that the services' standard error goes to a file: that is where the Event
# Log records of a running service show up, each ReportEventW call with its
# type, category and event id (fixme:advapi) before its strings.
start_wine() {
    use_wine_prefix
    mkdir -p "$WINEPREFIX"
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
    export WINE_SERVICES_LOG="$BUILD/wine-services.log"
    : >"$WINE_SERVICES_LOG"
    (
        wine cmd /c exit
        wineserver -k
        wineserver -w
        wineserver -p
        WINEDEBUG=-all,err+eventlog,warn+eventlog,trace+eventlog,fixme+advapi wine cmd /c exit
    ) </dev/null >/dev/null 2>>"$WINE_SERVICES_LOG"
    # The build folder as a drive of its own, H:. Hostwell refuses files in a
    # folder chain others may change, up to the volume root; under Z: that
    # chain would include wherever the clone lives, /tmp for instance, which
    # Wine shows as writable by Everyone. Wine names a file by the deepest
    # drive root above it, so the built programs run as H:\bin\....
    ln -sfn "$BUILD" "$WINEPREFIX/dosdevices/h:"
    # No debugger start-ups for programs that crash on purpose.
    wine reg delete "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\AeDebug" /v Debugger /f \
        </dev/null >/dev/null 2>&1 || true
}

stop_wine() {
    wineserver -k >/dev/null 2>&1 || true
}
