#!/usr/bin/env bash
# Sets up, builds and runs Pantrio, or its tests, on Debian 12.
#   scripts/pantrio.sh run      install the Debian packages that are missing (with sudo
#                               when not root), build the program as you, and start it on
#                               your data ($XDG_DATA_HOME/Pantrio, made on first start)
#   scripts/pantrio.sh test     the same set-up, then the whole test suite headless
#   scripts/pantrio.sh bench    the same set-up, then the benchmark (SIZES=1000,10000,100000)
#                               and the long runs: the share against its model (MODEL_CASES,
#                               0 for none) and the full sweep of disk faults and power cuts
#   scripts/pantrio.sh fuzz     build and run the libFuzzer target (FUZZ_SECONDS, default 600)
#   scripts/pantrio.sh package  build the Debian package build-package/pantrio_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."

mode=${1:-run}

packages=(g++ make cmake pkg-config qt6-base-dev qt6-tools-dev qt6-l10n-tools libqt6sql6-sqlite libsqlite3-dev
          sqlite3 libcsv-dev libmicrohttpd-dev
          libqrencode-dev fonts-dejavu-core fonts-liberation2 fonts-urw-base35)
# The tests check printing through CUPS, PDFs with poppler, the phone page in
# Chromium through chromedriver and Selenium, QR codes with zbar, and the
# share against its model with RapidCheck.
test_packages=(poppler-utils cups printer-driver-cups-pdf xvfb xauth clang-14 libclang-rt-14-dev
               desktop-file-utils appstream chromium chromium-driver python3 python3-selenium
               zbar-tools librapidcheck-dev iproute2)
package_packages=(dpkg-dev file)

as_root() {
    if [ "$(id -u)" = 0 ]; then
        "$@"
    elif command -v sudo >/dev/null 2>&1; then
        sudo "$@"
    else
        echo "== this needs root, and sudo is not installed: run as root:  $*" >&2
        exit 1
    fi
}

install_missing() {
    local missing=() p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "== installing the Debian packages Pantrio needs: ${missing[*]}"
    [ "$(id -u)" = 0 ] || echo "== (only this step runs as root, through sudo, which may ask for your password)"
    as_root apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# A build folder this user can write: one left by an earlier run as root is not
# taken over (nor deleted); the build goes beside it and says how to tidy up.
writable_build() {
    local dir=$1
    if [ -e "$dir" ] && ! [ -w "$dir" ]; then
        echo "== $dir belongs to $(stat -c %U "$dir") (an earlier run as root); building in $dir-$(id -un)." >&2
        echo "   To tidy up later:  sudo rm -rf $dir" >&2
        dir="$dir-$(id -un)"
    fi
    echo "$dir"
}

configure() {
    local dir=$1; shift
    cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
}

# Run as root through sudo, the test command hands its build folders back to
# the user who asked for it, so nothing root-owned is left in their way.
give_back() {
    if [ "$(id -u)" = 0 ] && [ -n "${SUDO_UID:-}" ]; then
        chown -R "$SUDO_UID:${SUDO_GID:-$SUDO_UID}" "$@" 2>/dev/null || true
    fi
}

build_fuzz() {
    cmake -S . -B "$1" -DPANTRIO_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++-14 \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo
    cmake --build "$1" -j"$(nproc)"
}

run_fuzz() {
    local corpus="$1/corpus"
    [ -x /usr/bin/llvm-symbolizer-14 ] && export ASAN_SYMBOLIZER_PATH=/usr/bin/llvm-symbolizer-14
    mkdir -p "$corpus" && cp -n fuzz/corpus/* "$corpus"/ 2>/dev/null || true
    "$1/fuzz/fuzz_records" -max_total_time="$2" -max_len=4096 -print_final_stats=1 "$corpus"
    local shares="$1/corpus-share"
    mkdir -p "$shares" && cp -n fuzz/corpus-share/* "$shares"/ 2>/dev/null || true
    "$1/fuzz/fuzz_share" -max_total_time="$2" -max_len=4096 -print_final_stats=1 "$shares"
    local texts="$1/corpus-escape"
    mkdir -p "$texts"
    "$1/fuzz/fuzz_escape" -max_total_time="$2" -max_len=1024 -print_final_stats=1 "$texts"
}

cups_up() {
    # Our own scheduler, through its socket (not a stray one on port 631);
    # lpstat -r exits 0 whether or not it runs, so its words tell.
    [ -S /run/cups/cups.sock ] && lpstat -r 2>/dev/null | grep -qx 'scheduler is running'
}

start_cups() {
    # A real printer for the printing test: cups-pdf writes each job as a PDF.
    # Setting up a printer needs root; as another user the printing test skips.
    if [ "$(id -u)" != 0 ]; then
        echo "no PDF printer queue (setting one up needs root): the printing test will be skipped"
        return 0
    fi
    # CUPS runs its filters as the user lp, who must be able to walk from /;
    # a root made by mktemp (as in a chroot) is 0700.
    [ "$(stat -c %A / | cut -c10)" = x ] || chmod o+rx /
    sed -i 's|^#\?Out .*|Out /var/spool/cups-pdf/out|' /etc/cups/cups-pdf.conf || true
    mkdir -p /var/spool/cups-pdf/out && chmod 1777 /var/spool/cups-pdf/out
    export CUPS_SERVER=/run/cups/cups.sock
    local try
    for try in 1 2 3; do
        cups_up && break
        /usr/sbin/cupsd || true
        for _ in $(seq 1 25); do cups_up && break; sleep 0.2; done
    done
    if ! lpstat -p PDF >/dev/null 2>&1; then
        lpadmin -p PDF -v cups-pdf:/ -P /usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd -E >/dev/null 2>&1 \
            || lpadmin -p PDF -v cups-pdf:/ -m lsb/usr/cups-pdf/CUPS-PDF_opt.ppd -E >/dev/null 2>&1 || true
    fi
    lpstat -p PDF 2>&1 || echo "no PDF printer queue: the printing test will be skipped"
}

# chromedriver reaches the browser it starts at "localhost"; a minimal Debian
# root may come without the /etc/hosts line every installed system has.
name_localhost() {
    getent hosts localhost >/dev/null 2>&1 && return 0
    if [ "$(id -u)" = 0 ]; then
        echo "== /etc/hosts has no localhost; adding the usual line"
        printf '127.0.0.1\tlocalhost\n::1\tlocalhost ip6-localhost ip6-loopback\n' >> /etc/hosts
    else
        echo "== localhost does not resolve (no line in /etc/hosts): the browser test will fail"
    fi
}

case "$mode" in
run)
    install_missing "${packages[@]}"
    BUILD=$(writable_build "${BUILD_DIR:-build}")
    # Only what running needs: the program, not the tests.
    configure "$BUILD" -DBUILD_TESTING=OFF
    cmake --build "$BUILD" -j"$(nproc)" --target Pantrio
    if [ -f "$BUILD/bin/Vendora.mdb" ]; then
        echo "== Pantrio uses $BUILD/bin/Vendora.mdb, which removing the build folder would delete."
        echo "   To keep your data in your own folder, with Pantrio closed:"
        echo "     mkdir -p \"\${XDG_DATA_HOME:-\$HOME/.local/share}/Pantrio\""
        echo "     mv -n $BUILD/bin/Vendora.mdb $BUILD/bin/backups \"\${XDG_DATA_HOME:-\$HOME/.local/share}/Pantrio/\""
    fi
    echo "== your data: $("$BUILD/bin/pantrio" --database)"
    exec "$BUILD/bin/Pantrio"
    ;;
test)
    install_missing "${packages[@]}" "${test_packages[@]}"
    BUILD=build-test
    trap 'give_back "$BUILD" "$BUILD-asan" "$BUILD-fuzz"' EXIT
    configure "$BUILD"
    cmake --build "$BUILD" -j"$(nproc)"
    start_cups
    name_localhost
    export PANTRIO_CUPS_OUT=/var/spool/cups-pdf/out QT_QPA_PLATFORM=offscreen
    echo "== fuzzing the record set, grouping and layout, the share and the escaper, 30 s each"
    build_fuzz "$BUILD-fuzz"
    run_fuzz "$BUILD-fuzz" 30
    echo "== the whole suite with AddressSanitizer and UndefinedBehaviorSanitizer"
    cmake -S . -B "$BUILD-asan" -DCMAKE_BUILD_TYPE=Debug -DPANTRIO_SANITIZE=ON
    cmake --build "$BUILD-asan" -j"$(nproc)"
    (cd "$BUILD-asan" && UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        ctest --output-on-failure -j2 --timeout 900)
    echo "== the whole suite"
    (cd "$BUILD" && ctest --output-on-failure -j2 --timeout 900)
    ;;
fuzz)
    install_missing "${packages[@]}" clang-14 libclang-rt-14-dev
    BUILD=$(writable_build build-fuzz)
    build_fuzz "$BUILD"
    run_fuzz "$BUILD" "${FUZZ_SECONDS:-600}"
    ;;
bench)
    install_missing "${packages[@]}"
    BUILD=$(writable_build "${BUILD_DIR:-build}")
    configure "$BUILD" -DBUILD_TESTING=OFF
    cmake --build "$BUILD" -j"$(nproc)" --target pantrio-bench
    QT_QPA_PLATFORM=offscreen "$BUILD/bench/pantrio-bench" ${SIZES:+--sizes "$SIZES"}
    # The long run of the share against its model (MODEL_CASES cases, 0 for none).
    if [ "${MODEL_CASES:-1000}" != 0 ]; then
        install_missing librapidcheck-dev
        MODEL=$(writable_build build-test)
        configure "$MODEL"
        cmake --build "$MODEL" -j"$(nproc)" --target tst_sharemodel tst_faults
        echo "== the share against its model, ${MODEL_CASES:-1000} cases"
        PANTRIO_MODEL_CASES=${MODEL_CASES:-1000} QT_QPA_PLATFORM=offscreen QTEST_FUNCTION_TIMEOUT=7200000 \
            "$MODEL/tests/tst_sharemodel"
        echo "== every change with the disk failing at every call, and power cuts: the full sweep"
        PANTRIO_FAULT_SWEEP=full QT_QPA_PLATFORM=offscreen QTEST_FUNCTION_TIMEOUT=7200000 \
            "$MODEL/tests/tst_faults"
    fi
    ;;
package)
    install_missing "${packages[@]}" "${package_packages[@]}"
    BUILD=$(writable_build build-package)
    cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DCMAKE_INSTALL_PREFIX=/usr
    cmake --build "$BUILD" -j"$(nproc)"
    (cd "$BUILD" && cpack -G DEB)
    deb=$(ls "$BUILD"/pantrio_*.deb)
    echo "== made $deb; install it with:  sudo apt install ./$deb"
    ;;
*)
    echo "usage: $0 run|test|bench|fuzz|package" >&2
    exit 2
    ;;
esac
