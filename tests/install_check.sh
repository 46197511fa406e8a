#!/usr/bin/env bash
# install_check.sh BUILD_DIR: Pantrio as it is installed and as a user runs it.
# Installs into a temporary prefix and checks the files, the desktop entry and
# the AppStream metadata with their validators; starts the installed program
# for a new user, who gets the starter catalogue in their own data folder; and
# shows that the data outlives the build: the folder the program ran from is
# deleted and made again, and the user's data and backups are still there.
set -euo pipefail
build=$(cd "$1" && pwd)
work=$(mktemp -d)
pid=
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
for f in bin/pantrio bin/Pantrio share/pantrio/Vendora.hlp share/pantrio/Vendora.mdb \
         share/applications/org.pantrio.Pantrio.desktop share/metainfo/org.pantrio.Pantrio.metainfo.xml \
         share/icons/hicolor/scalable/apps/org.pantrio.Pantrio.svg; do
    [ -e "$prefix/$f" ] || fail "$f is not installed"
done
for s in 16 22 24 32 48 64 128 256; do
    [ -f "$prefix/share/icons/hicolor/${s}x${s}/apps/org.pantrio.Pantrio.png" ] || fail "no ${s}px icon"
done
[ "$(readlink "$prefix/bin/Pantrio")" = pantrio ] || fail "bin/Pantrio is not a link to pantrio"
desktop-file-validate "$prefix/share/applications/org.pantrio.Pantrio.desktop"
appstreamcli validate --no-net "$prefix/share/metainfo/org.pantrio.Pantrio.metainfo.xml"
echo "installed files, desktop entry and metadata: ok"

export HOME=$work/home XDG_DATA_HOME=$work/home/.local/share QT_QPA_PLATFORM=offscreen
mkdir -p "$HOME"
data=$XDG_DATA_HOME/Pantrio
[ "$("$prefix/bin/pantrio" --database)" = "$data/Vendora.mdb" ] || fail "--database names another file"
[ ! -e "$data" ] || fail "--database made the data folder"

backups_made() { { find "$data/backups/automatic" -type f 2>/dev/null || true; } | wc -l; }

# Starts a program until its start-up backup is taken, then ends it.
start_and_stop() {
    local before
    before=$(backups_made)
    "$1" >"$work/out.txt" 2>&1 &
    pid=$!
    for _ in $(seq 1 300); do
        [ "$(backups_made)" -gt "$before" ] && break
        sleep 0.1
    done
    sleep 1
    kill -0 "$pid" 2>/dev/null || { cat "$work/out.txt"; fail "$1 ended at start-up"; }
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    pid=
}

marker=$work/marker
touch "$marker"
start_and_stop "$prefix/bin/pantrio"
[ -f "$data/Vendora.mdb" ] || fail "the first start made no database in $data"
items=$(sqlite3 "$data/Vendora.mdb" "SELECT COUNT(*) FROM Vendora")
[ "$items" -gt 100 ] || fail "the first database holds $items items, not the starter catalogue"
[ -z "$(find "$prefix" -newer "$marker" -type f)" ] || fail "the program wrote into its installation"
echo "first start as a new user: $items starter items in $data"

# A build folder with the program alone in it, as a fresh build has it.
fresh_build() {
    mkdir -p "$work/build/bin"
    cp "$build/bin/pantrio" "$work/build/bin/pantrio"
}
fresh_build
sqlite3 "$data/Vendora.mdb" "INSERT INTO Selected (Item, Quantity) VALUES ('kept across builds', '3')"
start_and_stop "$work/build/bin/pantrio"
backups=$(backups_made)
rm -rf "$work/build"
fresh_build
start_and_stop "$work/build/bin/pantrio"
[ "$(sqlite3 "$data/Vendora.mdb" "SELECT Quantity FROM Selected WHERE Item = 'kept across builds'")" = 3 ] \
    || fail "the data did not outlive the build"
[ "$(backups_made)" -gt "$backups" ] || fail "the backups did not outlive the build"
echo "rm -rf of the build and a rebuild: data and $backups+ backups kept"

# A Vendora.mdb beside the program is used instead: a portable copy.
cp "$prefix/share/pantrio/Vendora.mdb" "$work/build/bin/Vendora.mdb"
[ "$("$work/build/bin/pantrio" --database)" = "$work/build/bin/Vendora.mdb" ] || fail "a portable copy is not used"
echo "portable copy beside the program: used"
