#!/usr/bin/env bash
# Sets up, builds and runs Pantrio, or its tests, on Debian 12 (as root).
#   scripts/pantrio.sh run     install what is missing, build, make a starter
#                              Vendora.mdb if there is none, start Pantrio
#   scripts/pantrio.sh test    the same set-up, then the whole test suite headless
#   scripts/pantrio.sh bench   the same set-up, then the benchmark (SIZES=1000,10000,100000)
#   scripts/pantrio.sh fuzz    build and run the libFuzzer target (FUZZ_SECONDS, default 600)
set -euo pipefail
cd "$(dirname "$0")/.."

mode=${1:-run}
BUILD=${BUILD_DIR:-build}

packages=(g++ make cmake pkg-config qt6-base-dev libqt6sql6-sqlite libsqlite3-dev sqlite3 libcsv-dev
          fonts-dejavu-core fonts-liberation2 fonts-urw-base35)
test_packages=(poppler-utils cups printer-driver-cups-pdf xvfb xauth clang-14 libclang-rt-14-dev)

install_missing() {
    local missing=() p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "== installing: ${missing[*]}"
        apt-get update -qq
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
    fi
}

build() {
    cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
    cmake --build "$BUILD" -j"$(nproc)"
}

build_fuzz() {
    cmake -S . -B "$BUILD-fuzz" -DPANTRIO_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++-14 \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo
    cmake --build "$BUILD-fuzz" -j"$(nproc)"
}

run_fuzz() {
    local corpus="$BUILD-fuzz/corpus"
    [ -x /usr/bin/llvm-symbolizer-14 ] && export ASAN_SYMBOLIZER_PATH=/usr/bin/llvm-symbolizer-14
    mkdir -p "$corpus" && cp -n fuzz/corpus/* "$corpus"/ 2>/dev/null || true
    "$BUILD-fuzz/fuzz/fuzz_records" -max_total_time="$1" -max_len=4096 -print_final_stats=1 "$corpus"
}

starter_database() {
    # Never touches an existing Vendora.mdb: it is the user's data.
    "$BUILD/tools/pantrio-mkdb" "$BUILD/bin/Vendora.mdb"
}

cups_up() {
    # Our own scheduler, through its socket (not a stray one on port 631);
    # lpstat -r exits 0 whether or not it runs, so its words tell.
    [ -S /run/cups/cups.sock ] && lpstat -r 2>/dev/null | grep -qx 'scheduler is running'
}

start_cups() {
    # A real printer for the printing test: cups-pdf writes each job as a PDF.
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

case "$mode" in
run)
    install_missing "${packages[@]}"
    build
    starter_database
    exec "$BUILD/bin/Pantrio"
    ;;
test)
    install_missing "${packages[@]}" "${test_packages[@]}"
    build
    starter_database
    start_cups
    export PANTRIO_CUPS_OUT=/var/spool/cups-pdf/out QT_QPA_PLATFORM=offscreen
    echo "== fuzzing the record set, grouping and layout for 30 s"
    build_fuzz
    run_fuzz 30
    echo "== the whole suite with AddressSanitizer and UndefinedBehaviorSanitizer"
    cmake -S . -B "$BUILD-asan" -DCMAKE_BUILD_TYPE=Debug -DPANTRIO_SANITIZE=ON
    cmake --build "$BUILD-asan" -j"$(nproc)"
    (cd "$BUILD-asan" && UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        ctest --output-on-failure -j2 --timeout 900)
    echo "== the whole suite"
    cd "$BUILD"
    ctest --output-on-failure -j2 --timeout 900
    ;;
fuzz)
    install_missing "${packages[@]}" clang-14 libclang-rt-14-dev
    build_fuzz
    run_fuzz "${FUZZ_SECONDS:-600}"
    ;;
bench)
    install_missing "${packages[@]}"
    build
    QT_QPA_PLATFORM=offscreen "$BUILD/bench/pantrio-bench" ${SIZES:+--sizes "$SIZES"}
    ;;
*)
    echo "usage: $0 run|test|bench" >&2
    exit 2
    ;;
esac
