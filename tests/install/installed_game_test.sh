#!/usr/bin/env bash
# installed_game_test.sh BUILD_DIR VERSION -- installs the game into a temporary prefix and
# checks what an installation must hold: the file list, the menu entry, the AppStream data,
# the manual pages (rendered without warnings, every --help option listed), --version, the
# service unit, and a short match of the installed server, bots and client, all started from
# another folder, that finds its data (with a status query of the server on the way); and,
# with the data taken away, one message that says where it looked.
set -euo pipefail
build=$1
version=$2
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/kestrane-install.XXXXXX")
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
show() {  # a log, when a check about it fails
  echo "---- $1" >&2
  cat "$1" >&2 || true
}

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 || { show "$work/install.log"; fail "cmake --install"; }

echo "== the installed files"
grep -v '^#' "$here/installed_files.txt" >"$work/expected"
(cd "$prefix" && find . -type f -printf '%P\n' | LC_ALL=C sort) >"$work/actual"
diff -u "$work/expected" "$work/actual" || fail "the installed files differ from installed_files.txt"
for program in client server bots; do
  [ -x "$prefix/bin/kestrane-$program" ] || fail "bin/kestrane-$program is not executable"
done
for icon in "$prefix"/share/icons/hicolor/*/apps/kestrane.png; do
  size=$(basename "$(dirname "$(dirname "$icon")")")
  # The PNG header's width and height, big-endian at bytes 16 to 23.
  read -r width height < <(od -An -tu1 -j16 -N8 "$icon" |
    awk '{ print $1*16777216 + $2*65536 + $3*256 + $4, $5*16777216 + $6*65536 + $7*256 + $8 }')
  [ "${width}x${height}" = "$size" ] || fail "$icon is ${width}x${height}, not $size"
done

echo "== the menu entry and the AppStream data"
desktop=$prefix/share/applications/kestrane-client.desktop
grep -qx 'Exec=kestrane-client' "$desktop" || fail "the menu entry does not run kestrane-client from the PATH"
grep -qx 'Icon=kestrane' "$desktop" || fail "the menu entry's icon is not the installed one"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$desktop" || fail "desktop-file-validate found faults"
else
  echo "desktop-file-validate is not installed: the menu entry is not validated"
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net --explain "$prefix/share/metainfo/org.kestrane.Kestrane.metainfo.xml" ||
    fail "appstreamcli found faults"
else
  echo "appstreamcli is not installed: the AppStream data is not validated"
fi

echo "== --version and the manual pages"
export LC_ALL=C.UTF-8
for program in kestrane-client kestrane-server kestrane-bots kestrane-demo; do
  [ "$("$prefix/bin/$program" --version)" = "$program $version" ] || fail "$program --version does not say $version"
  page=$prefix/share/man/man6/$program.6.gz
  # As the Debian tools check a page: any warning of the formatter is a fault.
  warnings=$(man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "man warns about $program.6: $warnings"
  MANWIDTH=250 man -l "$page" >"$work/$program.txt" 2>/dev/null
  grep -q "Kestrane $version" "$work/$program.txt" || fail "$program.6 does not carry version $version"
  for section in SYNOPSIS OPTIONS FILES EXAMPLES; do
    grep -q "^$section" "$work/$program.txt" || fail "$program.6 has no $section section"
  done
  "$prefix/bin/$program" --help >"$work/$program.help"
  options=$(grep -oE -- '--[a-z][a-z0-9-]*' "$work/$program.help" | sort -u)
  [ -n "$options" ] || fail "$program --help lists no options"
  for option in $options; do
    grep -qE -- "(^|[^a-z-])$option([^a-z-]|\$)" "$work/$program.txt" || fail "$program.6 does not describe $option"
  done
done

echo "== the service"
unit=$prefix/lib/systemd/system/kestrane-server.service
grep -qx "ExecStart=$prefix/bin/kestrane-server --headless \$KESTRANE_SERVER_OPTIONS" "$unit" ||
  fail "the service does not start the installed server headless"
grep -qx "EnvironmentFile=-$prefix/etc/default/kestrane-server" "$unit" || fail "the service does not read its settings"
for setting in DynamicUser=yes NoNewPrivileges=yes ProtectSystem=strict PrivateTmp=yes Restart=on-failure \
  'RestrictAddressFamilies=AF_INET AF_NETLINK AF_UNIX'; do
  grep -qx "$setting" "$unit" || fail "the service lacks $setting"
done
if command -v systemd-analyze >/dev/null; then
  MANPATH=$prefix/share/man systemd-analyze verify "$unit" || fail "systemd-analyze verify found faults in the service"
  # Exposure 0 (locked down) to 10 (unprotected), in tenths here: the sandbox must stay tight.
  systemd-analyze security --offline=yes --threshold=20 "$unit" >"$work/security.txt" 2>&1 ||
    { show "$work/security.txt"; fail "the service's sandbox is looser than exposure 2.0"; }
else
  echo "systemd-analyze is not installed: the service is not verified"
fi
# A second install keeps an operator's settings.
echo 'KESTRANE_SERVER_OPTIONS="--port 6000"' >"$prefix/etc/default/kestrane-server"
cmake --install "$build" --prefix "$prefix" >"$work/install2.log" 2>&1 || { show "$work/install2.log"; fail "second install"; }
grep -q 'port 6000' "$prefix/etc/default/kestrane-server" || fail "a second install overwrote the settings"

echo "== a match of the installed programs, started from elsewhere"
elsewhere=$work/elsewhere
mkdir "$elsewhere"
cd "$elsewhere"
"$prefix/bin/kestrane-server" --headless --port 0 >"$work/server.log" 2>&1 &
server=$!
pids+=("$server")
port=
for _ in $(seq 100); do
  port=$(sed -n 's/.*Port : \([0-9]*\).*/\1/p' "$work/server.log")
  [ -n "$port" ] && break
  sleep 0.1
done
[ -n "$port" ] || { show "$work/server.log"; fail "the installed server did not start"; }

"$prefix/bin/kestrane-bots" --server "127.0.0.1:$port" --count 2 --duration 90 --seed 5 >"$work/bots.log" 2>&1 &
bots=$!
pids+=("$bots")
printf 'wait-players 3\nhold up\nwait-frames 15\nhold space\nwait-frames 2\nhold\nscreenshot installed.png\nwait-frames 3\nclose\n' \
  >"$work/script.txt"
export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy KESTRANE_NO_DIALOGS=1
status=0
timeout 60 "$prefix/bin/kestrane-client" --server "127.0.0.1:$port" --name Installed --connect --windowed \
  --script "$work/script.txt" >"$work/client.out" 2>"$work/client.err" || status=$?
[ "$status" -eq 0 ] || { show "$work/client.out"; show "$work/client.err"; fail "the installed client ended with $status"; }
grep -q '^script: players 3' "$work/client.out" || { show "$work/client.out"; fail "the client never saw the two bots"; }
[ -s "$elsewhere/installed.png" ] || fail "the client saved no screenshot where it was started"
if grep -q 'data files' "$work/client.err"; then show "$work/client.err"; fail "the installed client did not find its data"; fi
"$prefix/bin/kestrane-server" --query "127.0.0.1:$port" --players >"$work/query.txt" 2>&1 ||
  { show "$work/query.txt"; fail "the installed server did not answer a query"; }
grep -qP "\t$version\t" "$work/query.txt" || { show "$work/query.txt"; fail "the server's answer does not carry version $version"; }
kill -TERM "$bots"
status=0
wait "$bots" || status=$?
[ "$status" -eq 0 ] || { show "$work/bots.log"; fail "the installed bots ended with $status after SIGTERM"; }
grep -q '2 bots in the game' "$work/bots.log" || { show "$work/bots.log"; fail "the bots did not join"; }
kill -TERM "$server"
status=0
wait "$server" || status=$?
[ "$status" -eq 0 ] || { show "$work/server.log"; fail "the installed server ended with $status after SIGTERM"; }

echo "== without the data: one message naming where they were looked for"
mv "$prefix/share/kestrane" "$prefix/share/kestrane.away"
status=0
"$prefix/bin/kestrane-bots" --server 127.0.0.1:1 --count 1 >"$work/bots-nodata.log" 2>&1 || status=$?
[ "$status" -eq 1 ] || fail "the bots without data ended with $status, not 1"
grep -qF "looked in $prefix/bin and $prefix/share/kestrane" "$work/bots-nodata.log" ||
  { show "$work/bots-nodata.log"; fail "the bots did not say where they looked"; }
if grep -q 'Open Error' "$work/bots-nodata.log"; then show "$work/bots-nodata.log"; fail "the bots gave more than one message"; fi
timeout 30 "$prefix/bin/kestrane-client" --server 127.0.0.1:1 --name Lost --connect --windowed \
  >/dev/null 2>"$work/client-nodata.err" || true
[ "$(grep -c 'data files' "$work/client-nodata.err")" -eq 1 ] ||
  { show "$work/client-nodata.err"; fail "the client did not give one message about its data"; }
grep -qF "looked in $elsewhere, $prefix/bin and $prefix/share/kestrane" "$work/client-nodata.err" ||
  { show "$work/client-nodata.err"; fail "the client did not say where it looked"; }
echo "PASS"
