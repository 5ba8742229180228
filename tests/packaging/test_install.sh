#!/usr/bin/env bash
# Installs the build tree into a temporary prefix and starts the installed programs from there,
# as a user with a fresh home folder would:
#   test_install.sh BUILD-DIR VERSION WITH-GUI SUBCOMMAND...
# The installed gangprog-cli runs SUBCOMMAND on two simulated units.
set -euo pipefail
build=$1 version=$2 gui=$3
shift 3
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

prefix=$tmp/prefix
cmake --install "$build" --prefix "$prefix" >"$tmp/install.log" || {
  cat "$tmp/install.log" >&2
  fail "cmake --install"
}

program=$prefix/lib/gangprog
for file in gangprog-cli System/Plus.dll System/Installed.txt DataBase/Update/Select.SEL; do
  [[ -f "$program/$file" ]] || fail "missing $program/$file"
done
[[ -L "$prefix/bin/gangprog-cli" ]] || fail "no link bin/gangprog-cli"
rule=$prefix/lib/udev/rules.d/60-gangprog.rules
grep -q 'ATTR{idVendor}=="2d5a", ATTR{idProduct}=="0c80", MODE="0660", GROUP="plugdev"' "$rule" ||
  fail "udev rule does not give plugdev the units' identifiers"
[[ -f "$prefix/share/icons/hicolor/scalable/apps/gangprog.svg" ]] || fail "missing icon"
desktop-file-validate "$prefix/share/applications/gangprog.desktop" || fail "desktop entry"

[[ "$("$prefix/bin/gangprog-cli" --version)" == "gangprog-cli $version" ]] || fail "cli version"
if [[ "$gui" == ON ]]; then
  [[ -f "$program/gangprog" && -L "$prefix/bin/gangprog" ]] || fail "missing gangprog"
  [[ "$("$prefix/bin/gangprog" --version)" == "gangprog $version" ]] || fail "gangprog version"
fi

# The first start of a user: the files go to ~/.local/share/gangprog, the factory database is
# copied there, and the program folder stays as installed. The test store of the mode switches
# is not consulted by an installed program.
export HOME=$tmp/home
mkdir -p "$HOME"
unset XDG_DATA_HOME
export GANGPROG_REGISTRY=$tmp/untrusted.ini
listing_before=$(cd "$program" && find . | sort)
(cd "$tmp" && "$prefix/bin/gangprog-cli" --simulate 2 "$@") >"$tmp/out" 2>"$tmp/err" || {
  cat "$tmp/out" "$tmp/err" >&2
  fail "installed gangprog-cli $*"
}
# Exit status 0 means the units were found; the report is one JSON object.
[[ "$(head -c 1 "$tmp/out")" == "{" ]] || {
  cat "$tmp/out" >&2
  fail "the installed program wrote no JSON report"
}
base=$HOME/.local/share/gangprog
for dir in System History/MLOG History/Recovery DataBase/Update; do
  [[ -d "$base/$dir" ]] || fail "first start did not make $base/$dir"
done
# A new folder named by --base-dir is made and seeded from the program folder the same way.
fresh=$tmp/fresh/base
(cd "$tmp" && "$prefix/bin/gangprog-cli" --simulate 2 --base-dir "$fresh" "$@") >"$tmp/out" 2>"$tmp/err" || {
  cat "$tmp/out" "$tmp/err" >&2
  fail "installed gangprog-cli --base-dir NEW-FOLDER $*"
}
cmp -s "$program/DataBase/Update/Select.SEL" "$fresh/DataBase/Update/Select.SEL" ||
  fail "--base-dir NEW-FOLDER did not get the factory database"
# One that cannot be made is named on its own line before the failure.
touch "$tmp/plain"
status=0
(cd "$tmp" && "$prefix/bin/gangprog-cli" --simulate 2 --base-dir "$tmp/plain/base" "$@") \
  >"$tmp/out" 2>"$tmp/err" || status=$?
expected="Folder Cannot Be Made: $tmp/plain/base/ (Not a directory)
System Initialization Fail!"
[[ $status == 2 && "$(sed -E 's/^\[[^]]*\] //' "$tmp/err")" == "$expected" ]] || {
  cat "$tmp/out" "$tmp/err" >&2
  fail "a base folder that cannot be made: status $status, not named before the failure"
}
[[ "$(cd "$program" && find . | sort)" == "$listing_before" ]] || fail "the program folder changed"
echo "installed and started from $prefix"
