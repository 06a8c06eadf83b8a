#!/usr/bin/env bash
# package_test.sh BUILD_DIR VERSION -- makes the Debian package with cpack and checks it: its
# name, its file list (installed_files.txt under /usr, settings under /etc), computed
# dependencies with the client's font, the settings as a conffile, the service pointing at
# /usr/bin, programs that run, and no lintian errors.
set -euo pipefail
build=$1
version=$2
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/kestrane-package.XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

echo "== cpack -G DEB"
(cd "$build" && cpack -G DEB -B "$work/out" --config CPackConfig.cmake) >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log" >&2; fail "cpack"; }
deb=$work/out/kestrane_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || { ls "$work/out" >&2; fail "no $(basename "$deb")"; }

echo "== the files"
grep -v '^#' "$here/installed_files.txt" | sed -e 's|^etc/|/etc/|' -e 's|^\([^/]\)|/usr/\1|' | LC_ALL=C sort >"$work/expected"
dpkg-deb --fsys-tarfile "$deb" | tar -t | grep -v '/$' | sed 's|^\./|/|' | LC_ALL=C sort >"$work/actual"
diff -u "$work/expected" "$work/actual" || fail "the package's files differ from installed_files.txt"

echo "== the control data"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
names=$(tr ',' '\n' <<<"$depends" | sed -e 's/^ *//' -e 's/ .*//')
for package in fonts-unifont libc6 libstdc++6 libsdl2-2.0-0 libsdl2-ttf-2.0-0 libsdl2-mixer-2.0-0; do
  grep -qxF "$package" <<<"$names" || fail "the package does not depend on $package"
done
[ "$(dpkg-deb -f "$deb" Package Version Section | tr '\n' ' ')" = "Package: kestrane Version: $version Section: misc " ] ||
  fail "wrong name, version or section: $(dpkg-deb -f "$deb" Package Version Section)"
[ "$(dpkg-deb --info "$deb" conffiles)" = /etc/default/kestrane-server ] || fail "the settings are not a conffile"

echo "== the unpacked programs"
dpkg-deb -x "$deb" "$work/root"
grep -qx 'ExecStart=/usr/bin/kestrane-server --headless $KESTRANE_SERVER_OPTIONS' \
  "$work/root/usr/lib/systemd/system/kestrane-server.service" || fail "the service does not start /usr/bin/kestrane-server"
grep -qx 'EnvironmentFile=-/etc/default/kestrane-server' "$work/root/usr/lib/systemd/system/kestrane-server.service" ||
  fail "the service does not read /etc/default/kestrane-server"
for program in kestrane-client kestrane-server kestrane-bots kestrane-demo; do
  [ "$("$work/root/usr/bin/$program" --version)" = "$program $version" ] || fail "the packaged $program does not run"
done

echo "== lintian"
if command -v lintian >/dev/null; then
  lintian --no-tag-display-limit "$deb" >"$work/lintian.log" 2>&1 || true
  cat "$work/lintian.log"
  if grep -q '^E:' "$work/lintian.log"; then fail "lintian reports errors"; fi
else
  echo "lintian is not installed: the package is not checked by it"
fi
echo "PASS"
