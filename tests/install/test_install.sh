#!/usr/bin/env bash
# The package as a user gets it: makes the .deb of the build folder BUILD with cpack,
# checks its control fields and contents, unpacks it with dpkg-deb -x into a scratch root
# and runs the unpacked programs from there against the unpacked simulated gauge.
#
# A sanitized build (scripts/test) packages its sanitized programs; they run here with the
# sanitizer runtimes of the build machine, under the ASAN_OPTIONS the test run sets, and
# the package's Depends (computed by dpkg-shlibdeps) name those runtimes. A build without
# sanitizers must not depend on them.
#
# usage: test_install.sh BUILD VERSION
set -uo pipefail

build=$(cd "$1" && pwd)
version=$2
here=$(cd "$(dirname "$0")" && pwd)

scratch=$(mktemp -d "${TMPDIR:-/tmp}/quilex-install.XXXXXX")
server=""
cleanup() {
  if [ -n "$server" ]; then kill "$server" 2>/dev/null; wait "$server" 2>/dev/null; fi
  rm -rf "$scratch"
}
trap cleanup EXIT

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
# expect STATUS DESCRIPTION COMMAND...: runs COMMAND, keeps its output in $out and $err.
expect() {
  local want=$1 what=$2
  shift 2
  "$@" >"$scratch/out" 2>"$scratch/err"
  local got=$?
  out=$(cat "$scratch/out")
  err=$(cat "$scratch/err")
  if [ "$got" -ne "$want" ]; then
    fail "$what: exit $got, expected $want"
    sed 's/^/  | /' "$scratch/out" "$scratch/err" >&2
  fi
}
contains() { # contains DESCRIPTION TEXT NEEDLE
  case $2 in *"$3"*) ;; *) fail "$1: no \"$3\" in:"; printf '%s\n' "$2" | sed 's/^/  | /' >&2 ;; esac
}

# --- The package ------------------------------------------------------------------------

if ! cpack --config "$build/CPackConfig.cmake" -B "$scratch/pkg" >"$scratch/cpack.log" 2>&1; then
  cat "$scratch/cpack.log" >&2
  echo "FAIL: cpack" >&2
  exit 1
fi
debs=("$scratch"/pkg/*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
  echo "FAIL: cpack made ${#debs[@]} packages: ${debs[*]}" >&2
  exit 1
fi
deb=${debs[0]}
[ "$(basename "$deb")" = "quilex-a_${version}-1_$(dpkg --print-architecture).deb" ] ||
  fail "package file name $(basename "$deb")"

[ "$(dpkg-deb -f "$deb" Package)" = quilex-a ] || fail "Package: $(dpkg-deb -f "$deb" Package)"
[ "$(dpkg-deb -f "$deb" Version)" = "$version-1" ] || fail "Version: $(dpkg-deb -f "$deb" Version)"
depends=$(dpkg-deb -f "$deb" Depends)
# Computed from the programs' libraries, plus libusb, which is loaded by name.
for needed in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6printsupport6 libxlsxwriter \
              libsqlite3-0 libusb-0.1-4; do
  contains "Depends" "$depends" "$needed"
done
case $depends in *libgtest* | *libgmock* | *libbenchmark*) fail "Depends names a test library: $depends" ;; esac
if ! grep -q '^QUILEX_SANITIZE:BOOL=ON' "$build/CMakeCache.txt"; then
  case $depends in *libasan* | *libubsan*) fail "an unsanitized build depends on a sanitizer: $depends" ;; esac
fi

dpkg-deb -c "$deb" >"$scratch/contents"
for path in ./usr/bin/quilex ./usr/bin/quilex-cli ./usr/bin/quilex-sim-pipes ./usr/libexec/quilex/quilex-cli-commands \
            ./usr/lib/quilex/libquilex-sim-usb.so \
            ./usr/lib/udev/rules.d/60-quilex.rules \
            ./usr/share/applications/example.quilex.QuilexA.desktop \
            ./usr/share/metainfo/example.quilex.QuilexA.metainfo.xml \
            ./usr/share/icons/hicolor/scalable/apps/example.quilex.QuilexA.svg \
            ./usr/share/icons/hicolor/48x48/apps/example.quilex.QuilexA.png \
            ./usr/share/man/man1/quilex.1.gz ./usr/share/man/man1/quilex-cli.1.gz \
            ./usr/share/man/man1/quilex-sim-pipes.1.gz \
            ./usr/share/doc/quilex-a/copyright ./usr/share/doc/quilex-a/changelog.Debian.gz \
            ./usr/share/mime/packages/example.quilex.QuilexA.xml \
            ./usr/share/icons/hicolor/scalable/mimetypes/application-x-quilex-project.svg \
            ./usr/share/icons/hicolor/scalable/mimetypes/application-x-quilex-history.svg \
            ./usr/share/bash-completion/completions/quilex-cli; do
  grep -q " $path\$" "$scratch/contents" || fail "the package has no $path"
done
# Only the shipped pieces: no tests, no test-only library, no build paths.
grep -E 'test_|incomplete|/work/|/tmp/' "$scratch/contents" && fail "the package holds files it should not"
awk '$2 != "root/root" { bad = 1; print } END { exit bad }' "$scratch/contents" || fail "files not owned by root"
grep ' ./usr/bin/quilex-cli$' "$scratch/contents" | grep -q '^-rwxr-xr-x' || fail "quilex-cli is not rwxr-xr-x"

# What Debian's own checker says: nothing, but for the tag the package explains itself.
if command -v lintian >/dev/null; then
  lintian --allow-root --tag-display-limit 0 "$deb" >"$scratch/lintian" 2>&1
  grep -E '^[EW]: ' "$scratch/lintian" && fail "lintian reports errors or warnings"
else
  fail "lintian is not installed (scripts/deps installs it)"
fi

# udev takes the rule, and lets go of it, without the gauge being plugged in again.
dpkg-deb -e "$deb" "$scratch/control"
for script in postinst postrm; do
  [ -x "$scratch/control/$script" ] || fail "the package has no executable $script"
  grep -q 'udevadm control --reload-rules' "$scratch/control/$script" || fail "$script does not reload udev's rules"
  grep -q 'udevadm trigger .*idVendor=03eb.*idProduct=0201' "$scratch/control/$script" ||
    fail "$script does not announce the gauge again"
  grep -q ldconfig "$scratch/control/$script" && fail "$script calls ldconfig for a library nobody links"
  expect 0 "sh -n $script" sh -n "$scratch/control/$script"
done

root=$scratch/root
dpkg-deb -x "$deb" "$root" || { echo "FAIL: dpkg-deb -x" >&2; exit 1; }
bin=$root/usr/bin
simlib=$root/usr/lib/quilex/libquilex-sim-usb.so

# --- The programs, run from the unpacked root ---------------------------------------------

# The environment of a user's shell, not of the build: no display, no stray settings.
unset DISPLAY WAYLAND_DISPLAY QUILEX_LIBUSB QUILEX_DRIVER_ROOT QUILEX_SIM QUILEX_SIM_IMAGE QUILEX_TRACE
cd "$scratch"
mkdir nodevices

expect 0 "quilex-cli --help" "$bin/quilex-cli" --help
for command in devices archive materials screenshot convert history; do contains "quilex-cli --help" "$out" "$command"; done
cli_help=$out
expect 0 "quilex-cli --version" "$bin/quilex-cli" --version
[ "$out" = "quilex-cli $version" ] || fail "quilex-cli --version printed \"$out\""

# The window's program answers these before it needs a display: with a platform that does
# not exist, constructing the application would abort.
expect 0 "quilex --version" env QT_QPA_PLATFORM=no-such-platform "$bin/quilex" --version
[ "$out" = "quilex $version" ] || fail "quilex --version printed \"$out\""
expect 0 "quilex --help" env QT_QPA_PLATFORM=no-such-platform "$bin/quilex" --help
gui_help=$out
for variable in QUILEX_LIBUSB QUILEX_DRIVER_ROOT QUILEX_SIM QUILEX_SIM_IMAGE QUILEX_TRACE; do
  contains "quilex --help" "$gui_help" "$variable"
  contains "quilex-cli --help" "$cli_help" "$variable"
done
expect 0 "quilex -h after a file name" env QT_QPA_PLATFORM=no-such-platform "$bin/quilex" some file -h
contains "quilex -h" "$out" "Usage: quilex"

# No gauge anywhere: no driver device, and a bus on which the only device is another one.
expect 2 "devices without a gauge" env QUILEX_DRIVER_ROOT="$scratch/nodevices" QUILEX_LIBUSB="$simlib" \
  QUILEX_SIM=product=0x0202 "$bin/quilex-cli" devices
contains "devices without a gauge" "$out" "No gauge (USB 03EB:0201) is on the bus"
# The simulated gauge on libusb.
expect 0 "devices with the simulated gauge on libusb" env QUILEX_DRIVER_ROOT="$scratch/nodevices" \
  QUILEX_LIBUSB="$simlib" "$bin/quilex-cli" devices
contains "devices on libusb" "$out" "A gauge (USB 03EB:0201) is on the bus and can be opened"

# The simulated gauge behind the driver's pipes, served by the unpacked server.
mkfifo "$scratch/ready"
"$bin/quilex-sim-pipes" "$scratch/devices" >"$scratch/ready" &
server=$!
read -r -t 20 line <"$scratch/ready"
[ "$line" = "ready $scratch/devices/gauge0" ] || fail "quilex-sim-pipes said \"$line\""
expect 0 "devices with the simulated gauge on the pipes" env QUILEX_DRIVER_ROOT="$scratch/devices" \
  QUILEX_LIBUSB=/nonexistent/libusb.so "$bin/quilex-cli" devices
contains "devices on the pipes" "$out" "gauge0 answers"

# --- The transcript -----------------------------------------------------------------------

# Over libusb the gauge keeps its own transcript of the same transfers: every transfer that
# went through must appear in both, in the same order, with the same bytes.
check_usb_transcript() { # check_usb_transcript NAME: NAME.trace against NAME.gauge
  local trace=$scratch/$1.trace gauge=$scratch/$1.gauge
  head -n 1 "$trace" | grep -Eq "^# quilex-cli $version transcript, pid [0-9]+, started " ||
    fail "$1: the transcript's first line: $(head -n 1 "$trace")"
  grep -v '^#' "$trace" | grep -Ev '^[0-9]+ usb [WR] -?[0-9]+( [0-9A-F]{2})*$' &&
    fail "$1: transcript lines not in the documented form"
  # A line's result is the count of its bytes, or a negative error with no bytes.
  awk '!/^#/ { n = NF - 4; if (($4 >= 0 && $4 != n) || ($4 < 0 && n != 0)) { bad = 1; print } } END { exit bad }' \
    "$trace" >&2 || fail "$1: transcript results that do not match their bytes"
  awk '!/^#/ && $4 >= 0 { $1 = ""; $2 = ""; $4 = ""; print }' "$trace" | tr -s ' ' >"$scratch/ours"
  awk '!/^#/ { $1 = ""; print }' "$gauge" | tr -s ' ' >"$scratch/gauges"
  [ -s "$scratch/ours" ] && cmp -s "$scratch/ours" "$scratch/gauges" || {
    fail "$1: the program's transcript and the simulated gauge's disagree"
    diff "$scratch/ours" "$scratch/gauges" | head -n 10 >&2
  }
  # One clock for both, never running backwards; the program notes a transfer when it has
  # ended, so after the gauge saw it.
  awk '!/^#/ { if ($1 < last) bad = 1; last = $1 } END { exit bad }' "$trace" || fail "$1: transcript times run backwards"
  [ "$(awk '!/^#/ { print $1; exit }' "$trace")" -ge "$(awk '!/^#/ { print $1; exit }' "$gauge")" ] ||
    fail "$1: the program's first write is timed before the gauge took it"
}
usb_env=(env QUILEX_DRIVER_ROOT="$scratch/nodevices" QUILEX_LIBUSB="$simlib")

expect 0 "archive on libusb with QUILEX_TRACE" "${usb_env[@]}" QUILEX_SIM="transcript=$scratch/healthy.gauge" \
  QUILEX_TRACE="$scratch/healthy.trace" "$bin/quilex-cli" archive -o "$scratch/archive.tsv"
[ "$(wc -l <"$scratch/archive.tsv")" -eq 301 ] || fail "the archive read over libusb has $(wc -l <"$scratch/archive.tsv") lines"
check_usb_transcript healthy
# The first exchange reads the materials: 04 FB, then the 4-byte length 468.
sed -n 2,3p "$scratch/healthy.trace" | cut -d' ' -f2- >"$scratch/first"
printf '%s\n' "usb W 2 04 FB" "usb R 4 D4 01 00 00" | diff - "$scratch/first" >&2 || fail "the transcript's first transfers"

# Failed transfers are there too, with their error and no bytes. Each failed step is tried
# again a second later, so the archive still arrives whole.
expect 0 "archive on a failing gauge with QUILEX_TRACE" "${usb_env[@]}" \
  QUILEX_SIM="records=12,fail_every=9,transcript=$scratch/failing.gauge" QUILEX_TRACE="$scratch/failing.trace" \
  "$bin/quilex-cli" archive -o "$scratch/failing.tsv"
check_usb_transcript failing
[ "$(wc -l <"$scratch/failing.tsv")" -eq 13 ] || fail "the archive read from a failing gauge is not whole"
[ "$(grep -Ec '^[0-9]+ usb [WR] -5$' "$scratch/failing.trace")" -eq "$(grep -c 'fail' "$scratch/failing.gauge")" ] ||
  fail "the transcript does not show each transfer the gauge failed"

expect 0 "materials on the pipes with QUILEX_TRACE" env QUILEX_DRIVER_ROOT="$scratch/devices" \
  QUILEX_TRACE="$scratch/pipe.trace" "$bin/quilex-cli" materials -o "$scratch/materials.tsv"
sed -n 2,3p "$scratch/pipe.trace" | cut -d' ' -f2- >"$scratch/first"
printf '%s\n' "pipe W 0000 04 FB" "pipe R 0000 D4 01 00 00" | diff - "$scratch/first" >&2 ||
  fail "the pipe transcript's first transfers"
# The block of 468 bytes, all there.
[ "$(sed -n 4p "$scratch/pipe.trace" | wc -w)" -eq $((4 + 468)) ] || fail "the pipe transcript's material block"

expect 0 "archive with an unwritable QUILEX_TRACE" "${usb_env[@]}" QUILEX_TRACE="$scratch/no/such/folder/t" "$bin/quilex-cli" archive -o "$scratch/archive2.tsv"
contains "unwritable transcript" "$err" "cannot write the transcript $scratch/no/such/folder/t"
[ "$(grep -c 'cannot write the transcript' <<<"$err")" -eq 1 ] || fail "the transcript warning came more than once"
cmp -s "$scratch/archive.tsv" "$scratch/archive2.tsv" || fail "the archive read without a transcript differs"

# --- The survey history ------------------------------------------------------------------

# The unpacked program keeps a history with the system's SQLite: the archive just read, added
# twice, counts once.
expect 0 "history init" "$bin/quilex-cli" history init "$scratch/plant.qlh" --object "Unit 1"
expect 0 "history add" "$bin/quilex-cli" history add "$scratch/plant.qlh" "$scratch/archive.tsv" --lang en
[ "$out" = "added 300, already present 0, skipped 0" ] || fail "history add printed \"$out\""
cp "$scratch/plant.qlh" "$scratch/plant-before.qlh"
expect 0 "history add again" "$bin/quilex-cli" history add "$scratch/plant.qlh" "$scratch/archive.tsv"
cmp -s "$scratch/plant.qlh" "$scratch/plant-before.qlh" || fail "adding the same archive again changed the history"
expect 0 "history rates" "$bin/quilex-cli" history rates "$scratch/plant.qlh" --lang en
[ "$(printf '%s\n' "$out" | wc -l)" -eq 301 ] || fail "history rates wrote $(printf '%s\n' "$out" | wc -l) lines"
[ "$(sqlite3 "$scratch/plant.qlh" 'PRAGMA user_version; SELECT count(*) FROM reading_list')" = "$(printf '1\n300')" ] ||
  fail "sqlite3 does not read the history as documented"

# --- Desktop integration ------------------------------------------------------------------

desktop=$root/usr/share/applications/example.quilex.QuilexA.desktop
metainfo=$root/usr/share/metainfo/example.quilex.QuilexA.metainfo.xml
expect 0 "desktop-file-validate" desktop-file-validate "$desktop"
[ -z "$out$err" ] || fail "desktop-file-validate warns: $out$err"
for key in 'Name=' 'Name\[ru\]=|GenericName\[ru\]=' 'Comment=' 'Comment\[ru\]=' 'Exec=quilex( |$)' \
           'Icon=example.quilex.QuilexA$'; do
  grep -Eq "^($key)" "$desktop" || fail "the desktop entry has no line ^($key)"
done
expect 0 "appstreamcli validate" appstreamcli validate --no-net "$metainfo"
grep -q '<launchable type="desktop-id">example.quilex.QuilexA.desktop</launchable>' "$metainfo" ||
  fail "the metainfo does not launch the desktop entry"
grep -q "<release version=\"$version\"" "$metainfo" || fail "the metainfo has no release $version"
for size in 16 24 32 48 64 128 256; do
  png=$root/usr/share/icons/hicolor/${size}x${size}/apps/example.quilex.QuilexA.png
  file -b "$png" | grep -q "PNG image data, $size x $size" || fail "icon $size: $(file -b "$png")"
done

rule=$root/usr/lib/udev/rules.d/60-quilex.rules
# uaccess only works from rules read before systemd's 73-seat-late.rules.
[ "$(basename "$rule" | cut -c1-2)" -lt 73 ] || fail "the udev rule sorts after 73-seat-late.rules"
grep -v '^#' "$rule" | grep 'TAG+="uaccess"' >"$scratch/rule" || fail "the udev rule tags nothing with uaccess"
for match in 'SUBSYSTEM=="usb"' 'ATTR{idVendor}=="03eb"' 'ATTR{idProduct}=="0201"'; do
  grep -qF "$match" "$scratch/rule" || fail "the uaccess rule does not match $match"
done

# Project files and survey histories: MIME types of their own, named in both languages, that
# the desktop entry opens and the shared MIME database finds by the name's ending.
mime=$root/usr/share/mime/packages/example.quilex.QuilexA.xml
for type in project history; do
  grep -q "^MimeType=.*application/x-quilex-$type;" "$desktop" || fail "the desktop entry opens no $type files"
  grep -qF "type=\"application/x-quilex-$type\"" "$mime" || fail "the MIME types have no application/x-quilex-$type"
done
for needle in 'pattern="*.qlx"' 'pattern="*.qlh"' '<comment>Quilex-A survey history</comment>' \
              '<comment xml:lang="ru">История обследований Quilex-A</comment>' '<comment xml:lang="ru">Проект Quilex-A</comment>'; do
  grep -qF "$needle" "$mime" || fail "the MIME types have no $needle"
done
if command -v update-mime-database >/dev/null; then
  mkdir -p "$scratch/mimedb/packages" && cp "$mime" "$scratch/mimedb/packages/"
  expect 0 "update-mime-database" update-mime-database "$scratch/mimedb"
  for pair in project:qlx history:qlh; do
    type=${pair%%:*} ending=${pair##*:}
    grep -q "application/x-quilex-$type:\\*\\.$ending" "$scratch/mimedb/globs2" || fail "the MIME database does not know *.$ending"
    grep -q "application/x-quilex-$type:application-x-quilex-$type" "$scratch/mimedb/generic-icons" ||
      fail "the MIME database has no icon for $type files"
  done
  grep -q 'application/x-quilex-history application/vnd.sqlite3' "$scratch/mimedb/subclasses" ||
    fail "the MIME database does not know a history is an SQLite database"
fi

# The changelog and the manual pages compressed as Debian keeps them.
gzip -t "$root/usr/share/doc/quilex-a/changelog.Debian.gz" || fail "the changelog is not gzip"
zcat "$root/usr/share/doc/quilex-a/changelog.Debian.gz" | head -n 1 | grep -q "^quilex-a ($version-1)" ||
  fail "the changelog is not for $version-1"
grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' \
  "$root/usr/share/doc/quilex-a/copyright" || fail "the copyright file is not machine-readable"
for page in quilex quilex-cli quilex-sim-pipes; do
  gzip -dc "$root/usr/share/man/man1/$page.1.gz" >"$root/usr/share/man/man1/$page.1" || fail "$page.1.gz"
done

for page in quilex quilex-cli quilex-sim-pipes; do
  man=$root/usr/share/man/man1/$page.1
  expect 0 "groff $page.1" groff -man -Tutf8 -ww -z "$man"
  [ -z "$err" ] || fail "$page.1 has roff warnings: $err"
  grep -q "^\.TH .* \"Quilex-A $version\"" "$man" || fail "$page.1 is not for version $version"
done
# Every variable and command the programs name is in their pages.
for variable in $(grep -o 'QUILEX_[A-Z_]*' <<<"$gui_help" | sort -u); do
  grep -q "^\.B $variable\$" "$root/usr/share/man/man1/quilex.1" || fail "quilex.1 does not describe $variable"
done
for command in devices archive materials screenshot convert stats chart history; do
  grep -q "^\.B $command\$" "$root/usr/share/man/man1/quilex-cli.1" || fail "quilex-cli.1 does not describe $command"
done

# Completion, with the bash-completion helpers it is written for.
completion() { # completion WORDS...: the completions of the last word
  bash -c '. /usr/share/bash-completion/bash_completion; . "$0"
           COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
           _quilex_cli quilex-cli "${COMP_WORDS[-1]}" "${COMP_WORDS[-2]}"; printf "%s\n" "${COMPREPLY[@]}"' \
    "$root/usr/share/bash-completion/completions/quilex-cli" "$@" | sort | tr '\n' ' '
}
[ "$(completion quilex-cli ma)" = "materials " ] || fail "completion of \"ma\": $(completion quilex-cli ma)"
[ "$(completion quilex-cli archive --l)" = "--lang " ] || fail "completion of \"archive --l\": $(completion quilex-cli archive --l)"
[ "$(completion quilex-cli archive --lang "")" = "en ru " ] || fail "completion of \"--lang\""
: >"$scratch/today.qlx"
[ "$(completion quilex-cli convert tod)" = "today.qlx " ] || fail "completion of convert's file: $(completion quilex-cli convert tod)"
for command in $(completion quilex-cli ""); do
  case $command in --*) continue ;; esac
  contains "quilex-cli --help (completed command)" "$cli_help" "  $command "
done

if [ "$failures" -ne 0 ]; then
  echo "$failures checks failed" >&2
  exit 1
fi
echo "the package $(basename "$deb") installs, runs and integrates"
