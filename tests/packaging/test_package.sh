#!/usr/bin/env bash
# Builds the Debian package from the build tree and checks what it holds:
#   test_package.sh SOURCE-DIR BUILD-DIR WITH-GUI
set -euo pipefail
source_dir=$1 build=$2 gui=$3
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

deb=$(bash "$source_dir/scripts/package.sh" "$tmp/out" "$build" | tail -n 1)
[[ -f "$deb" ]] || fail "no package made"
dpkg-deb --contents "$deb" >"$tmp/contents"
expected=(
  ./usr/lib/udev/rules.d/60-gangprog.rules
  ./usr/share/applications/gangprog.desktop
  ./usr/share/icons/hicolor/scalable/apps/gangprog.svg
  ./usr/lib/gangprog/gangprog-cli
  ./usr/lib/gangprog/System/Plus.dll
  ./usr/lib/gangprog/DataBase/Update/Select.SEL
  "./usr/bin/gangprog-cli -> ../lib/gangprog/gangprog-cli"
)
if [[ "$gui" == ON ]]; then
  expected+=(./usr/lib/gangprog/gangprog "./usr/bin/gangprog -> ../lib/gangprog/gangprog")
fi
for entry in "${expected[@]}"; do
  grep -qF -- " $entry" "$tmp/contents" || {
    cat "$tmp/contents" >&2
    fail "the package lacks $entry"
  }
done
depends=$(dpkg-deb --field "$deb" Depends)
[[ "$depends" == *7zip* ]] || fail "the package does not depend on 7zip"
echo "package $deb holds ${#expected[@]} checked entries"
