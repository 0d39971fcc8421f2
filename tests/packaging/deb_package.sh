#!/usr/bin/env bash
# Builds the Debian package and checks it: declared dependencies, the files
# where the .desktop entry expects them, and the packaged program starting.
# With PERIODIX_TEST_INSTALL=1 (as root) it also installs the package with
# apt-get from the built file, starts the installed program and removes it.
#   deb_package.sh BUILD-DIR RECEIVER PROBE
BUILD=$1
RECEIVER=$2
PROBE=$3
PERIODIX=""
. "$(dirname "$0")/../e2e/e2e_lib.sh"
enter_private_network_namespace "$@"
start_x

(cd "$BUILD" && cpack -G DEB >"$WORK/cpack.log" 2>&1) || { cat "$WORK/cpack.log"; fail "cpack failed"; }
deb=$(realpath "$(ls "$BUILD"/periodix_*_*.deb | head -n1)")
[ -f "$deb" ] || fail "no package"

depends=$(dpkg-deb -f "$deb" Depends)
for needed in libqt6widgets6 libqt6network6 libqt6gui6 libqt6core6 qt6-qpa-plugins libc6; do
  [[ "$depends" == *"$needed"* ]] || fail "Depends lacks $needed: $depends"
done

root="$WORK/root"
dpkg-deb -x "$deb" "$root"
for entry in periodix periodix-display; do
  desktop="$root/usr/share/applications/$entry.desktop"
  [ -f "$desktop" ] || fail "no .desktop entry $entry"
  for exec_name in $(sed -n 's/^Exec=//p' "$desktop" | awk '{print $1}'); do
    [ -x "$root/usr/bin/$exec_name" ] || fail "Exec=$exec_name is not in /usr/bin"
  done
  icon_name=$(sed -n 's/^Icon=//p' "$desktop" | head -n1)
  ls "$root/usr/share/icons/hicolor/"*/apps/"$icon_name".* >/dev/null 2>&1 || fail "no icon named $icon_name"
done
for action in 'periodix --resume' 'periodix --hall-feed'; do
  grep -qx "Exec=$action" "$root/usr/share/applications/periodix.desktop" || fail "no action: $action"
done
exec_name=periodix
# Each program: stripped, a man page, and answers --help and --version, also
# where there is no display.
for program in periodix periodix-display periodix-web; do
  file "$root/usr/bin/$program" | grep -q 'stripped' || fail "$program is not stripped"
  [ -s "$root/usr/share/man/man1/$program.1" ] || fail "no man page for $program"
  env -u DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/$program" --help 2>&1 | grep -q '^Usage:' ||
    fail "$program --help: $(env -u DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/$program" --help 2>&1 | head -n 3)"
  env -u DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/$program" --version 2>&1 | grep -q ' 1\.0\.0$' ||
    fail "$program --version: $(env -u DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/$program" --version 2>&1)"
  status=0 # the toolkit's own option passes, an unknown one is named
  env -u DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/$program" -style fusion --bogus >"$WORK/bogus.log" 2>&1 || status=$?
  [ "$status" -eq 2 ] && grep -qx "$program: Unknown option 'bogus'." "$WORK/bogus.log" ||
    fail "$program --bogus: $status $(cat "$WORK/bogus.log")"
done

# starts SETTINGS-WINDOW-PROGRAM: the program opens its settings window.
starts() {
  "$1" >"$WORK/started.log" 2>&1 &
  local pid=$!
  PIDS+=($pid)
  window_id '^Setting$' >/dev/null || fail "$1 did not open its settings window"
  kill "$pid"
}
starts "$root/usr/bin/periodix"
echo "package: $(basename "$deb"), Depends: $depends"

if [ "${PERIODIX_TEST_INSTALL:-}" = 1 ] && [ "$(id -u)" -eq 0 ]; then
  was_installed=$(dpkg-query -W -f='${Status}' periodix 2>/dev/null || true)
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >"$WORK/apt.log" 2>&1 || { cat "$WORK/apt.log"; fail "apt-get install failed"; }
  [ "$(command -v "$exec_name")" = /usr/bin/periodix ] || fail "the installed program is not on the path"
  [ -f /usr/share/applications/periodix.desktop ] || fail "the installed .desktop entry is missing"
  man -w periodix-web >/dev/null 2>&1 || [ ! -x /usr/bin/man ] || fail "man does not find periodix-web"
  starts /usr/bin/periodix
  [[ "$was_installed" == *"install ok installed"* ]] || apt-get purge -y -qq periodix >/dev/null 2>&1
  echo "installed with apt-get, started, removed"
fi
