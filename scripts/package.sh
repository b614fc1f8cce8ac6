#!/usr/bin/env bash
# Builds the Debian package from the build tree and checks it:
#   1. cpack -G DEB in build/ (the tree scripts/setup.sh configures);
#   2. lintian, with the informational tags too: not one tag;
#   3. the package's contents: stripped programs, library and font
#      dependencies, what Help -> Contents needs, the desktop, MIME, udev and
#      AppStream files (appstreamcli validate-tree: not one remark), the manual
#      and the manual pages;
#   4. with --clean-root, an install into a fresh Debian 12 root made with
#      debootstrap (network access to the Debian mirror only): apt installs
#      the package with its dependencies, then qvtool --help, man qvtool and
#      qv-ort on a capture under Xvfb with an English and a Japanese locale,
#      whose windows are saved to docs/screenshots/ (or --shots DIR).
# The base root is made once and kept in $QVORT_ROOT_CACHE (default
# build/debian-root-base); every run installs into a fresh copy of it.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${QVORT_BUILD_DIR:-$PWD/build}
clean_root=0
shots=$PWD/docs/screenshots
while [ $# -gt 0 ]; do
  case $1 in
    --clean-root) clean_root=1 ;;
    --shots) shots=$(realpath -m "$2"); shift ;;
    -h|--help) sed -n '2,15p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "usage: $0 [--clean-root] [--shots DIR]" >&2; exit 2 ;;
  esac
  shift
done
fail() { echo "package check: $*" >&2; exit 1; }

# What the package holds (the tests need not be built for it).
cmake --build "$build" -j2 --target qvtool qvsim qv-ort manual manpages package_changelog
rm -f "$build"/qv-ort_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/qv-ort_*.deb)
echo "package: $deb"

# Any tag fails the check, down to the informational ones (hardening,
# stripping, documentation registration). The package is built by CPack
# rather than dpkg-buildpackage, so the tags about a Debian source package do
# not apply to it.
lintian -I --fail-on error,warning,info --tag-display-limit 0 "$deb" || fail "lintian tags above"

# The package as a user receives it.
unpacked=$(mktemp -d "${TMPDIR:-/tmp}/qv-ort-deb.XXXXXX")
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"
for f in usr/bin/qv-ort usr/bin/qvtool usr/bin/qvsim \
         usr/lib/udev/rules.d/61-qv-ort-uaccess.rules \
         usr/share/applications/qv-ort.desktop \
         usr/share/mime/packages/qv-ort-capture.xml \
         usr/share/icons/hicolor/scalable/apps/qv-ort.svg \
         usr/share/metainfo/org.example.qvort.metainfo.xml \
         usr/share/doc/qv-ort/manual.pdf usr/share/doc/qv-ort/copyright \
         usr/share/man/man1/qvtool.1.gz usr/share/man/man1/qvsim.1.gz \
         usr/share/man/man1/qv-ort.1.gz \
         usr/share/bash-completion/completions/qvtool; do
  [ -e "$unpacked/$f" ] || fail "missing /$f"
done
for p in qv-ort qvtool qvsim; do
  file -b "$unpacked/usr/bin/$p" | grep -q ', stripped' || fail "$p is not stripped"
done
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for d in libqt6widgets6 libusb-1.0-0 'fonts-ipafont-gothic | fonts-noto-cjk'; do
  grep -qF -- "$d" <<<"$depends" || fail "no dependency on $d"
done
# Help -> Contents opens the manual with xdg-open and a PDF viewer.
recommends=$(dpkg-deb -f "$deb" Recommends)
for d in xdg-utils pdf-viewer; do
  grep -qF -- "$d" <<<"$recommends" || fail "does not recommend $d"
done
# Software centres read the AppStream metadata with the desktop entry it
# names; infos and pedantic hints count as failures too.
appstreamcli validate-tree --no-net --strict --pedantic "$unpacked" || fail "appstreamcli validate-tree"
echo "package contents: ok"

[ $clean_root = 1 ] || exit 0

# A fresh Debian 12 root: the base system once, then a copy per run.
base=${QVORT_ROOT_CACHE:-$build/debian-root-base}
if [ ! -x "$base/usr/bin/apt-get" ]; then
  rm -rf "$base"
  debootstrap --variant=minbase bookworm "$base" http://deb.debian.org/debian
fi
root=$build/debian-root
rm -rf "$root"
cp -a "$base" "$root"
in_root() { chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root "$@"; }
cleanup_root() {
  umount "$root/proc" 2>/dev/null || true
  rm -rf "$unpacked"
}
trap cleanup_root EXIT
mount -t proc proc "$root/proc"
cp /etc/resolv.conf "$root/etc/resolv.conf"
cp "$deb" "$root/tmp/"
# man itself; locales for the two languages; Xvfb and ImageMagick to show and
# photograph the window.
# A minimal base system may leave manual pages out; the package's own must stay.
rm -f "$root/etc/dpkg/dpkg.cfg.d/excludes"
in_root apt-get update -qq
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq \
  man-db locales xvfb xdotool imagemagick >/dev/null
printf 'en_US.UTF-8 UTF-8\nja_JP.UTF-8 UTF-8\n' >"$root/etc/locale.gen"
in_root locale-gen >/dev/null
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "/tmp/$(basename "$deb")"

in_root qvtool --help | head -n 3
in_root man -P cat qvtool | grep -q qvtool || fail "man qvtool shows nothing"
in_root sh -c 'test -f "$(dirname "$(readlink -f "$(command -v qv-ort)")")/../share/doc/qv-ort/manual.pdf"' \
  || fail "the manual is not where qv-ort looks for it"
# The triggers of the MIME and desktop databases ran: a .qvr opens with qv-ort.
in_root grep -q 'x-qv-ort-capture' /usr/share/mime/globs2 || fail "MIME database lacks .qvr"
in_root grep -q 'application/x-qv-ort-capture=qv-ort.desktop' \
  /usr/share/applications/mimeinfo.cache || fail "desktop database lacks qv-ort"

# A capture to open, made inside the root by the installed programs.
in_root sh -c 'mkdir -p /root/caps && qvtool gen-stream --protocol ASYNC --events 2000 --seed 3 \
  --date 091205 --baud 9600 --start 13:45:12 /root/caps/s.bin >/dev/null &&
  qvtool decode /root/caps/s.bin --out /root/caps >/dev/null'
capture=$(cd "$root" && ls root/caps/*/*.qvr | head -1)
mkdir -p "$shots"
# The unit selection comes first (no unit here); closing it shows the capture.
for lang in en_US.UTF-8 ja_JP.UTF-8; do
  tag=${lang%%_*}
  title=$([ "$tag" = en ] && echo "Select unit" || echo "モニタ機器選択")
  # Abstract X sockets are shared with the host: a display number of its own.
  n=$((200 + RANDOM % 100))
  in_root env LANG="$lang" QVORT_HOME=/root/home DISPLAY=:$n sh -c "
    Xvfb :$n -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 & x=\$!
    for i in \$(seq 100); do [ -S /tmp/.X11-unix/X$n ] && break; sleep 0.1; done
    qv-ort /$capture >/tmp/qv-ort.log 2>&1 & a=\$!
    for i in \$(seq 50); do
      w=\$(xdotool search --onlyvisible --name '^$title' 2>/dev/null | head -n 1)
      [ -n \"\$w\" ] && break
      sleep 0.2
    done
    [ -n \"\$w\" ] && xdotool windowfocus --sync \$w key Escape
    sleep 2
    import -window root /tmp/shot-$tag.png
    kill \$a \$x
    wait \$a 2>/dev/null || true
    [ -n \"\$w\" ]" || fail "no window '$title' under $lang"
  convert "$root/tmp/shot-$tag.png" -strip "$shots/installed-$tag.png"
  echo "screenshot: $shots/installed-$tag.png"
done
# Removal takes the program out of the databases again.
in_root env DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq qv-ort >/dev/null
in_root grep -q 'x-qv-ort-capture' /usr/share/mime/globs2 && fail "MIME type left after removal"
in_root sh -c '! command -v qvtool' >/dev/null || fail "qvtool left after removal"
echo "clean root install and removal: ok"
