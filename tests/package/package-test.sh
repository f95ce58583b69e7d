#!/usr/bin/env bash
# The Debian package as Debian's own tools see it: the desktop entry
# (desktop-file-validate), the AppStream metadata (appstreamcli) and the .deb
# made by CPack (lintian: no error, no warning), plus what the package must
# carry. A check whose tool is missing is skipped and says so; when every tool
# is missing the test is skipped (exit status 77).
#
# Usage: package-test.sh BUILD_DIR SOURCE_DIR SANITIZED(ON|OFF)
set -uo pipefail

build=$1
source=$2
sanitized=$3

work=$(mktemp -d "${TMPDIR:-/tmp}/vescor-package.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
ran=0

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# have TOOL PACKAGE: true when TOOL is there, otherwise reports the skip.
have() {
  if command -v "$1" > /dev/null; then
    ran=$((ran + 1))
    return 0
  fi
  echo "SKIP: $1 is missing (package $2, scripts/install-deps)"
  return 1
}

if have desktop-file-validate desktop-file-utils; then
  out=$(desktop-file-validate "$source/packaging/vescor.desktop" 2>&1) || fail "desktop-file-validate: $out"
  [ -z "$out" ] || fail "desktop-file-validate remarks: $out"
fi

if have appstreamcli appstream; then
  appstreamcli validate --no-net "$source/packaging/vescor.metainfo.xml" > "$work/appstream.log" 2>&1 ||
    fail "appstreamcli validate: $(cat "$work/appstream.log")"
fi

if have lintian lintian && have dpkg-deb dpkg; then
  if ! cpack --config "$build/CPackConfig.cmake" -B "$work/deb" > "$work/cpack.log" 2>&1; then
    cat "$work/cpack.log"
    fail "cpack made no package"
  else
    deb=$(ls "$work"/deb/vescor_*.deb)
    contents=$(dpkg-deb -c "$deb")
    for file in usr/share/doc/vescor/copyright usr/share/doc/vescor/changelog.gz \
      usr/share/man/man1/vescor.1.gz usr/share/man/man1/vescor-cli.1.gz \
      usr/share/metainfo/example.orvane.vescor.metainfo.xml; do
      grep -q " \./$file\$" <<< "$contents" || fail "the package does not carry /$file"
    done
    depends=$(dpkg-deb -f "$deb" Depends)
    grep -q 'qttranslations5-l10n' <<< "$depends" || fail "Depends lacks qttranslations5-l10n: $depends"
    # A sanitized build links its sanitizers and is built without the hardening
    # flags: lintian's verdict is on the package of a plain build.
    if [ "$sanitized" = ON ]; then
      echo "SKIP: lintian on a sanitized build"
    else
      lintian --tag-display-limit 0 --fail-on error,warning "$deb" > "$work/lintian.log" 2>&1 ||
        fail "lintian: $(cat "$work/lintian.log")"
      # The hardening flags reached both programs and the driver.
      mkdir -p "$work/root" && dpkg-deb -x "$deb" "$work/root"
      # (Whole outputs into grep: grep -q ending a pipe early fails it under pipefail.)
      for file in usr/lib/vescor/vescor usr/lib/vescor/vescor-cli usr/lib/vescor/libtillo10.so; do
        grep -q 'BIND_NOW\|FLAGS.*NOW' <<< "$(readelf -d "$work/root/$file")" || fail "/$file is not linked with -z now"
        grep -q 'GNU_RELRO' <<< "$(readelf -lW "$work/root/$file")" || fail "/$file is not linked with -z relro"
        grep -q '__stack_chk_fail' <<< "$(readelf --dyn-syms -W "$work/root/$file")" ||
          fail "/$file is built without stack protection"
      done
    fi
  fi
fi

if [ $ran -eq 0 ]; then
  echo "SKIP: none of the tools is installed"
  exit 77
fi
if [ $failures -ne 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "all passed"
