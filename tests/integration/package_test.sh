#!/usr/bin/env bash
# The Debian package, packed from a build tree, unpacked into a temporary folder and
# checked from the outside: its control fields, the files it installs, the desktop
# entry, and the two programs starting from where the package puts them.
#
#   package_test.sh CPACK BUILD_DIR VERSION
set -euo pipefail
cpack=$1
build_dir=$2
version=$3

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# --- Pack and unpack -----------------------------------------------------------------
if ! "$cpack" --config "$build_dir/CPackConfig.cmake" -G DEB -B "$work/pack" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log" >&2
  echo "FAIL: cpack did not make the package" >&2
  exit 1
fi
debs=("$work"/pack/*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
  echo "FAIL: expected one .deb, found: ${debs[*]}" >&2
  exit 1
fi
deb=${debs[0]}
root=$work/root
dpkg-deb -x "$deb" "$root"

# --- Control fields ------------------------------------------------------------------
[ "$(dpkg-deb -f "$deb" Package)" = tessevin ] || fail "Package is $(dpkg-deb -f "$deb" Package)"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "Version is $(dpkg-deb -f "$deb" Version)"
[ -n "$(dpkg-deb -f "$deb" Maintainer)" ] || fail "no Maintainer"
[ -n "$(dpkg-deb -f "$deb" Description)" ] || fail "no Description"
depends=$(dpkg-deb -f "$deb" Depends | tr -d ' ')
depends_on() { [[ ",$depends," == *",$1,"* || ",$depends," == *",$1("* ]]; }

# Every library a program uses comes from a package that Depends names; libcurl is
# loaded by name at the first request and the window asks for a CJK font, so those
# two are named as well. A library linked but unused (clang links without
# --as-needed, keeping all that Qt names) needs nothing.
wanted=(libcurl4 fonts-noto-cjk)
# The package a library file belongs to, by the path ldd names or the file it leads
# to, each with and without /usr in front (dpkg knows the path the package ships).
owner_of() {
  local real candidate
  real=$(readlink -f "$1")
  for candidate in "$1" "$real" "${1#/usr}" "${real#/usr}" "/usr$1" "/usr$real"; do
    dpkg -S "$candidate" 2>/dev/null | head -n 1 | cut -d: -f1 && return 0
  done
  return 0  # none: the empty answer
}
for program in "$root"/usr/bin/*; do
  unused=$(ldd -u "$program" | sed -n 's|^[[:space:]]*/.*/||p' || true)
  while read -r needed; do
    grep -qxF "$needed" <<<"$unused" && continue
    path=$(ldd "$program" | awk -v lib="$needed" '$1 == lib { print $3 }')
    if [ -z "$path" ] || [ ! -e "$path" ]; then
      fail "$(basename "$program"): $needed is not found"
      continue
    fi
    package=$(owner_of "$path")
    case $package in
      "") fail "$(basename "$program"): $needed ($path) comes from no Debian package" ;;
      # The sanitizer runtime of a sanitized build is no dependency of the program's.
      libclang-rt-* | libasan* | libubsan*) ;;
      *) wanted+=("$package") ;;
    esac
  done < <(objdump -p "$program" | awk '$1 == "NEEDED" { print $2 }')
done
for package in $(printf '%s\n' "${wanted[@]}" | sort -u); do
  depends_on "$package" || fail "Depends lacks $package (Depends: $depends)"
done

# --- Installed files -----------------------------------------------------------------
for program in tessevin tessevin-lookup tessevin-stats-demo; do
  [ -x "$root/usr/bin/$program" ] || fail "usr/bin/$program is missing"
done
# Each icon is a PNG of the size its folder names.
for size in 16 24 32 48 64; do
  icon=$root/usr/share/icons/hicolor/${size}x${size}/apps/tessevin.png
  if [ ! -f "$icon" ]; then
    fail "no ${size}x${size} icon"
    continue
  fi
  read -r width height < <(od -An -tu4 --endian=big -j16 -N8 "$icon")
  [ "$width $height" = "$size $size" ] || fail "the ${size}x${size} icon is $width x $height"
done
entry=$root/usr/share/applications/tessevin.desktop
if [ -f "$entry" ]; then
  desktop-file-validate "$entry" || fail "desktop-file-validate rejects the desktop entry"
  for key in 'Name' 'Name\[zh_CN\]' 'Comment' 'Comment\[zh_CN\]'; do
    grep -q "^$key=." "$entry" || fail "the desktop entry has no $key"
  done
  grep -qx 'Exec=tessevin' "$entry" || fail "the desktop entry does not run tessevin"
  grep -qx 'Icon=tessevin' "$entry" || fail "the desktop entry does not name the icon"
else
  fail "no desktop entry"
fi

# --- The programs, started from the unpacked tree ------------------------------------
lookup_version=$("$root/usr/bin/tessevin-lookup" --version) || fail "tessevin-lookup --version failed"
[ "$lookup_version" = "tessevin-lookup $version" ] ||
  fail "tessevin-lookup --version says: $lookup_version"

# The window on the offscreen platform, with a data folder of its own; it quits as soon
# as it has shown itself and says so on standard error.
mkdir -m 0700 "$work/runtime"
if QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$work/runtime XDG_DATA_HOME=$work/data \
  TESSEVIN_TEST_QUIT_AFTER_SHOW=1 "$root/usr/bin/tessevin" 2>"$work/window.err"; then
  grep -qx 'window|shown' "$work/window.err" || fail "the window was not shown: $(cat "$work/window.err")"
else
  fail "tessevin ended with status $?: $(cat "$work/window.err")"
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "package $(basename "$deb") checked"
