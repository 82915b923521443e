#!/usr/bin/env bash
# check_install.sh install|deb BUILD_DIR SOURCE_DIR VERSION HAVE_VARNELO
#   install: `cmake --install` into a scratch prefix, then check the files,
#            the launcher, the AppStream data and the DICOM file type.
#   deb:     build the Debian package with CPack into a scratch folder and
#            check its control data and contents.
# Exits 77 (skipped) while the tree has no varnelo executable yet.
set -euo pipefail
mode=$1 build=$2 src=$3 version=$4 have_varnelo=$5
id=org.varnelo.Varnelo
sizes="16 22 24 32 48 64 128 256"

if [ "$have_varnelo" != 1 ]; then
  echo "SKIP: the build has no varnelo executable yet"
  exit 77
fi

fails=0
fail() { echo "FAIL: $*"; fails=$((fails + 1)); }
need() { command -v "$1" >/dev/null || { echo "FAIL: $1 is not installed (make deps)"; exit 1; }; }

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# Width and height from a PNG's IHDR chunk.
png_size() { od -An -tu1 -j16 -N8 "$1" | awk '{printf "%dx%d", $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8}'; }

# The packages tagged "run" in the package list, one per line.
run_packages() { sed 's/#.*//' "$src/scripts/deps.txt" | awk 'NF >= 2 { for (i = 2; i <= NF; i++) if ($i == "run") { print $1; break } }' | sort -u; }

# The Debian package owning each shared library an executable links
# directly, one per line ("?" + the library when no package owns it).
needed_packages() { needed_owners "$1" | sort -u; }
needed_owners() {
  local exe=$1 lib path map owners resolved=()
  map=$(ldd "$exe")
  for lib in $(readelf -d "$exe" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'); do
    # "name => path (addr)", or "path (addr)" for the dynamic loader.
    path=$(awk -v l="$lib" '$1 == l && $3 ~ /^\// { print $3; exit }
                            $1 ~ /^\// && $1 ~ ("/" l "$") { print $1; exit }' <<<"$map")
    if [ -z "$path" ]; then echo "?$lib"; else resolved+=("$(readlink -f "$path")"); fi
  done
  [ ${#resolved[@]} -gt 0 ] || return 0
  # dpkg knows a file under the path its package shipped: /usr/lib or /lib.
  owners=$(dpkg -S "${resolved[@]}" "${resolved[@]#/usr}" 2>/dev/null || true)
  for path in "${resolved[@]}"; do
    awk -F': ' -v a="$path" -v b="${path#/usr}" '$NF == a || $NF == b { f = 1 } END { exit !f }' <<<"$owners" ||
      echo "?$path"
  done
  sed 's/:.*//; s/,.*//' <<<"$owners"
}

check_install() {
  need desktop-file-validate; need appstreamcli; need update-mime-database
  local prefix=$scratch/usr
  cmake --install "$build" --prefix "$prefix" >"$scratch/install.log" 2>&1 ||
    { cat "$scratch/install.log"; fail "cmake --install"; return; }

  local desktop=$prefix/share/applications/$id.desktop
  local metainfo=$prefix/share/metainfo/$id.metainfo.xml
  local mimexml=$prefix/share/mime/packages/$id.xml
  local f
  for f in "$prefix/bin/varnelo" "$prefix/bin/varnelo-dicom" "$prefix/bin/varnelo-speech"; do
    [ -f "$f" ] && [ -x "$f" ] || fail "$f missing or not executable"
  done
  # The installed programs find the dictation model beside them: one second
  # of silence is dictated without an error, and without a phrase.
  local heard
  if command -v sox >/dev/null; then
    sox -n -r 16000 -c 1 -b 16 "$scratch/quiet.wav" trim 0 1
    heard=$(. "$src/tests/common/own-home.sh" "$scratch/own" &&
              "$prefix/bin/varnelo-speech" transcribe "$scratch/quiet.wav" 2>&1) ||
      fail "installed varnelo-speech does not dictate: $heard"
  fi
  for f in "$desktop" "$metainfo" "$mimexml" "$prefix/share/icons/hicolor/scalable/apps/$id.svg"; do
    [ -s "$f" ] || fail "$f missing or empty"
  done
  local size png
  for size in $sizes; do
    png=$prefix/share/icons/hicolor/${size}x${size}/apps/$id.png
    if [ ! -f "$png" ]; then fail "$png missing"; continue; fi
    [ "$(png_size "$png")" = "${size}x${size}" ] || fail "$png is $(png_size "$png"), not ${size}x${size}"
  done

  # Nothing else lands in the prefix (libraries, headers, test programs).
  local stray
  stray=$(cd "$prefix" && find . -type f | sed 's#^\./##' |
    grep -Ev "^(bin/varnelo|bin/varnelo-dicom|bin/varnelo-speech|share/varnelo/speech/(radiology\.(lm\.bin|dict)|prompts\.txt)|share/applications/$id\.desktop|share/metainfo/$id\.metainfo\.xml|share/mime/packages/$id\.xml|share/icons/hicolor/(scalable|[0-9]+x[0-9]+)/apps/$id\.(svg|png))$" || true)
  [ -z "$stray" ] || fail "unexpected files installed: $stray"

  # The launcher: valid, and everything it names is there.
  desktop-file-validate "$desktop" || fail "desktop-file-validate rejects $desktop"
  key() { sed -n "s/^$1=//p" "$desktop" | head -n1; }
  [ "$(key Name)" = Varnelo ] || fail "Name is '$(key Name)'"
  [ "$(key Comment)" = "Adds voice recorded comments to medical images." ] || fail "Comment is '$(key Comment)'"
  [ "$(key Categories)" = "Graphics;MedicalSoftware;Viewer;" ] || fail "Categories are '$(key Categories)'"
  local exe
  exe=$(key Exec); exe=${exe%% *}
  [ -x "$prefix/bin/$exe" ] || fail "Exec names '$exe', which is not installed"
  # A file opened from a file manager reaches the program: one local path.
  [ "$(key Exec)" = "$exe %f" ] || fail "Exec is '$(key Exec)', not '$exe %f'"
  [ -f "$prefix/share/icons/hicolor/scalable/apps/$(key Icon).svg" ] || fail "Icon names '$(key Icon)', which is not installed"
  local mimetype
  mimetype=$(key MimeType); mimetype=${mimetype%;}
  grep -q "<mime-type type=\"$mimetype\">" "$mimexml" || fail "MimeType $mimetype is not defined by $mimexml"

  # The AppStream data: valid, pointing at the launcher, with this version.
  appstreamcli validate --no-net "$metainfo" || fail "appstreamcli rejects $metainfo"
  grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" || fail "metainfo does not launch $id.desktop"
  grep -q "<release version=\"$version\"" "$metainfo" || fail "metainfo has no release $version"

  # The file type, compiled as the desktop compiles it: "DICM" at 128, *.dcm.
  XDG_DATA_DIRS=$prefix/share update-mime-database "$prefix/share/mime" >"$scratch/mime.log" 2>&1 ||
    { cat "$scratch/mime.log"; fail "update-mime-database"; }
  [ ! -s "$scratch/mime.log" ] || { cat "$scratch/mime.log"; fail "update-mime-database complained"; }
  grep -q ':application/dicom:\*\.dcm' "$prefix/share/mime/globs2" || fail "no *.dcm glob for application/dicom"
  LC_ALL=C grep -aq $'^>128=\x00\x04DICM' "$prefix/share/mime/magic" || fail "no DICM magic at offset 128"
  grep -aq '^\[[0-9]*:application/dicom\]' "$prefix/share/mime/magic" || fail "magic not attached to application/dicom"

  # The run-time packages cover every library the programs link.
  local runs pkg
  runs=$(run_packages)
  for exe in "$prefix/bin/varnelo" "$prefix/bin/varnelo-dicom" "$prefix/bin/varnelo-speech"; do
    for pkg in $(needed_packages "$exe"); do
      grep -qx -- "$pkg" <<<"$runs" || fail "$(basename "$exe") links a library of $pkg, not tagged run in scripts/deps.txt"
    done
  done
}

check_deb() {
  need cpack; need dpkg-deb
  [ -f "$build/CPackConfig.cmake" ] || { fail "$build/CPackConfig.cmake missing"; return; }
  cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch" >"$scratch/cpack.log" 2>&1 ||
    { cat "$scratch/cpack.log"; fail "cpack"; return; }
  local debs=("$scratch"/varnelo_*.deb)
  [ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { fail "expected one varnelo_*.deb, got: ${debs[*]}"; return; }
  local deb=${debs[0]}
  [ "$(dpkg-deb -f "$deb" Package)" = varnelo ] || fail "package name $(dpkg-deb -f "$deb" Package)"
  [ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version $(dpkg-deb -f "$deb" Version), not $version"

  # Depends: exactly the packages tagged run, every one of them known here.
  local depends expected
  depends=$(dpkg-deb -f "$deb" Depends | tr ',' '\n' | sed 's/^ *//; s/ *$//' | sed '/^$/d' | sort -u)
  expected=$(run_packages)
  [ "$depends" = "$expected" ] || fail "Depends differ from the run list: $(diff <(echo "$depends") <(echo "$expected") | tr '\n' ' ')"
  local pkg
  for pkg in $depends; do
    grep -q -- '-dev$' <<<"$pkg" && fail "Depends names a development package: $pkg"
    dpkg-query -W "$pkg" >/dev/null 2>&1 || fail "Depends names $pkg, which is not installed here"
  done

  # Contents: everything under /usr, the programs and the desktop files.
  local contents
  contents=$(dpkg-deb -c "$deb" | awk '{print $NF}')
  for f in ./usr/bin/varnelo ./usr/bin/varnelo-dicom ./usr/bin/varnelo-speech \
           ./usr/share/varnelo/speech/radiology.lm.bin ./usr/share/varnelo/speech/radiology.dict ./usr/share/varnelo/speech/prompts.txt \
           "./usr/share/applications/$id.desktop" \
           "./usr/share/metainfo/$id.metainfo.xml" "./usr/share/mime/packages/$id.xml" \
           "./usr/share/icons/hicolor/scalable/apps/$id.svg" "./usr/share/icons/hicolor/48x48/apps/$id.png"; do
    grep -qx -- "$f" <<<"$contents" || fail "$f is not in the package"
  done
  local outside
  outside=$(grep -v '^\./$' <<<"$contents" | grep -v '^\./usr/' || true)
  [ -z "$outside" ] || fail "files outside /usr: $outside"
  # Stripping must keep the version note the about box reads.
  local built
  built=$(find "$build" -maxdepth 2 -type f -name varnelo | head -n1)
  if [ -n "$built" ] && readelf -n "$built" | grep -q Varnelo; then
    dpkg-deb -x "$deb" "$scratch/root"
    readelf -n "$scratch/root/usr/bin/varnelo" | grep -q Varnelo || fail "packaged varnelo lost its version note"
  fi
}

case $mode in
  install) check_install ;;
  deb) check_deb ;;
  *) echo "unknown mode $mode"; exit 2 ;;
esac
[ $fails -eq 0 ] || { echo "$fails check(s) failed"; exit 1; }
echo "OK: $mode"
