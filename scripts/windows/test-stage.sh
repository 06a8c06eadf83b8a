#!/usr/bin/env bash
# test-stage.sh -- the Windows build (scripts/build-windows) tested under Wine, against the Linux
# build (build/default, made here when missing):
#   1. the unit tests, cross-built, under Wine (ctest runs them through wine-run)
#   2. a match of the Windows server with Linux bots
#   3. a match of a Linux server with Windows bots
#   4. the Windows client on a virtual display, joining a Linux server with a Linux bot; its
#      screen is saved to build/windows/client-screenshot.png
# Each match lasts a few seconds; every bot must join, see the others, play and leave. Each
# step's time is printed. Fails at the first step that fails.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
windows=$root/build/windows
linux=$root/build/default/bin
begun=$SECONDS

cache_value() { sed -n "s/^$1:[A-Z]*=//p" "$windows/CMakeCache.txt"; }
if [ ! -f "$windows/CMakeCache.txt" ]; then
  echo "test-stage: no Windows build; run scripts/build-windows first" >&2
  exit 1
fi
export WINEPREFIX
WINEPREFIX=$(cache_value KESTRANE_WINEPREFIX)
deps=$(cache_value KESTRANE_WINDOWS_DEPS)
wine_run=("$root/cmake/windows/wine-run" "$WINEPREFIX" "$deps/bin")
# One Wine server for the whole stage (it answers with an error when one already runs).
WINEDEBUG=-all wineserver -p60 2>/dev/null || true

work=$(mktemp -d /tmp/kestrane-windows-test-XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do
    kill "$pid" 2>/dev/null || true
  done
  for pid in "${pids[@]}"; do
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap cleanup EXIT

step() {  # step NAME FUNCTION: runs one step and tells how long it took
  local name=$1 started=$SECONDS
  shift
  echo "test-stage: $name"
  "$@"
  echo "test-stage: $name took $((SECONDS - started)) s"
}

fail() {
  echo "test-stage: $*" >&2
  exit 1
}

linux_build() {
  if [ -x "$linux/kestrane-server" ] && [ -x "$linux/kestrane-bots" ] && [ -f "$linux/Player.spr" ]; then
    echo "test-stage: using the Linux programs in build/default"
    return
  fi
  cmake --preset default >/dev/null
  nice -n 19 cmake --build --preset default -j "${KESTRANE_JOBS:-2}" --target kestrane-server kestrane-bots kestrane_artwork
}

unit_tests() {
  # Wine's first program in a session starts its services, which can take a while under load:
  # one program started here keeps that out of the first test's time.
  timeout 300 "${wine_run[@]}" "$windows/tests/common_tests.exe" --gtest_list_tests >/dev/null
  nice -n 19 ctest --test-dir "$windows" -j "${KESTRANE_JOBS:-2}" --output-on-failure --timeout 300
}

# start_server LOG PROGRAM...: a headless server on a free port, left running; sets `port`.
start_server() {
  local log=$1
  shift
  "$@" --headless --port 0 >"$log" 2>&1 &
  local pid=$!
  pids+=("$pid")
  server_pid=$pid
  port=""
  for _ in $(seq 300); do
    port=$(sed -n 's/.*Port : \([0-9][0-9]*\).*/\1/p' "$log" | head -n 1)
    [ -n "$port" ] && return
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  cat "$log" >&2
  fail "the server did not start"
}

# stop_server LOG: Ctrl+C for the server (Wine turns SIGINT into the console's Ctrl+C); it must
# run its Exit sequence and end.
stop_server() {
  local log=$1
  kill -INT "$server_pid"
  for _ in $(seq 100); do
    kill -0 "$server_pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$server_pid" 2>/dev/null; then
    kill "$server_pid"
    cat "$log" >&2
    fail "the server did not end on Ctrl+C"
  fi
  wait "$server_pid" || { cat "$log" >&2; fail "the server ended with a failure"; }
  grep -q "Kestrane Server Closing" "$log" || { cat "$log" >&2; fail "the server ended without its Exit sequence"; }
}

# check_bots LOG COUNT: every bot joined and saw all COUNT players at the end of the joins, the
# match ran its time, and every bot left with the server closing its connection.
check_bots() {
  local log=$1 count=$2
  local problems=()
  sed -i 's/\r$//' "$log"  # Windows programs end their lines with CR LF
  grep -q "kestrane-bots: $count bots in the game" "$log" || problems+=("not all $count bots joined")
  grep -q ": joined, $count players in the game" "$log" || problems+=("the last bot did not see all $count players")
  grep -q "kestrane-bots: time is up, leaving" "$log" || problems+=("the match did not run its time")
  [ "$(grep -c ': left$' "$log")" -eq "$count" ] || problems+=("not every bot left cleanly")
  if [ ${#problems[@]} -gt 0 ]; then
    cat "$log" >&2
    fail "$(IFS=';'; echo "${problems[*]}")"
  fi
}

windows_server_linux_bots() {
  start_server "$work/server-win.log" "${wine_run[@]}" "$windows/bin/kestrane-server.exe"
  echo "test-stage: Windows server on port $port"
  (cd "$linux" && ./kestrane-bots --server "127.0.0.1:$port" --count 3 --name Lin --seed 7 --duration 5) \
    >"$work/bots-linux.log" 2>&1 || { cat "$work/bots-linux.log" >&2; fail "the Linux bots failed"; }
  check_bots "$work/bots-linux.log" 3
  stop_server "$work/server-win.log"
  sed -n '1,3p' "$work/bots-linux.log"
}

linux_server_windows_bots() {
  start_server "$work/server-linux.log" "$linux/kestrane-server"
  echo "test-stage: Linux server on port $port"
  (cd "$windows/bin" && "${wine_run[@]}" ./kestrane-bots.exe --server "127.0.0.1:$port" --count 3 --name Win --seed 8 \
    --duration 5) >"$work/bots-windows.log" 2>&1 || { cat "$work/bots-windows.log" >&2; fail "the Windows bots failed"; }
  check_bots "$work/bots-windows.log" 3
  stop_server "$work/server-linux.log"
}

windows_client() {
  start_server "$work/server-client.log" "$linux/kestrane-server"
  (cd "$linux" && ./kestrane-bots --server "127.0.0.1:$port" --count 1 --name Lin --seed 9 --duration 30) \
    >"$work/bots-client.log" 2>&1 &
  pids+=("$!")
  local shot=$windows/client-screenshot.png
  rm -f "$shot"
  cat >"$work/client.script" <<'SCRIPT'
wait-players 2
hold up space
wait-frames 30
hold
wait-frames 10
screenshot client-screenshot.png
close
SCRIPT
  (cd "$windows" && timeout 120 xvfb-run -a -s "-screen 0 1024x768x24" \
    env SDL_AUDIODRIVER=dummy KESTRANE_NO_DIALOGS=1 "${wine_run[@]}" "$windows/bin/kestrane-client.exe" \
    --server "127.0.0.1:$port" --name WinClient --connect --windowed --script "$work/client.script") \
    >"$work/client.log" 2>&1 || { cat "$work/client.log" >&2; fail "the Windows client failed"; }
  grep -q "script: players 2" "$work/client.log" || { cat "$work/client.log" >&2; fail "the client did not see the bot"; }
  [ -s "$shot" ] || { cat "$work/client.log" >&2; fail "the client saved no screenshot"; }
  echo "test-stage: the client's screen is in build/windows/client-screenshot.png"
  stop_server "$work/server-client.log"
}

step "the Linux programs" linux_build
step "the unit tests under Wine" unit_tests
step "a Windows server with Linux bots" windows_server_linux_bots
step "a Linux server with Windows bots" linux_server_windows_bots
step "the Windows client on a Linux server" windows_client
echo "test-stage: the Windows stage passed in $((SECONDS - begun)) s"
