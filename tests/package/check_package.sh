#!/usr/bin/env bash
# Checks the built package as Debian and a user would meet it: lintian, the desktop
# entry and the AppStream data, `make install`'s files against the package's, then the
# package installed with dpkg: the program, its manual page, and the hand-over store
# shared by the group lanscout. Needs root. The package, the test accounts and anything
# the package made are removed again whatever the outcome.
# Usage: check_package.sh BUILD_FOLDER
set -euo pipefail
build=$(realpath "$1")
[[ $(id -u) -eq 0 ]] || { echo "check_package: needs root (it installs the package)" >&2; exit 1; }
shopt -s nullglob
debs=("$build"/lanscout_*_*.deb)
[[ ${#debs[@]} -eq 1 ]] || { echo "check_package: want one lanscout_*.deb in $build, found ${#debs[@]}" >&2; exit 1; }
deb=${debs[0]}
if dpkg-query -W -f='${Status}' lanscout 2>/dev/null | grep -q installed; then
  echo "check_package: lanscout is already installed here; not touching it" >&2
  exit 1
fi

work=$(mktemp -d)
chmod 755 "$work"
users=(lanscout-ci-a lanscout-ci-b lanscout-ci-out)
group_existed=$(getent group lanscout >/dev/null && echo yes || echo no)
store_existed=$([[ -e /var/lib/lanscout ]] && echo yes || echo no)
cleanup() {
  dpkg --purge lanscout >/dev/null 2>&1 || true
  for user in "${users[@]}"; do
    pkill -KILL -u "$user" 2>/dev/null || true # a process left by a failed step would keep the account
    userdel "$user" >/dev/null 2>&1 || true
  done
  [[ $group_existed == yes ]] || groupdel lanscout >/dev/null 2>&1 || true
  [[ $store_existed == yes ]] || rm -rf /var/lib/lanscout
  rm -rf "$work"
}
trap cleanup EXIT

step() { echo "== $*"; }
fail() { echo "check_package: $*" >&2; exit 1; }

step "lintian $(basename "$deb")"
lintian --allow-root --fail-on error,warning --display-level '>=info' "$deb"

step "desktop entry and AppStream data"
dpkg-deb -x "$deb" "$work/root"
desktop-file-validate "$work"/root/usr/share/applications/*.desktop
appstreamcli validate --no-net "$work"/root/usr/share/metainfo/*.metainfo.xml
# The menu finds the program and its icon through the entry's names.
entry=$(cat "$work"/root/usr/share/applications/*.desktop)
icon=$(sed -n 's/^Icon=//p' <<<"$entry") program=$(sed -n 's/^Exec=//p' <<<"$entry")
[[ -x $work/root/usr/bin/$program ]] || fail "the menu entry starts '$program', which the package lacks"
for size in 16 32 64; do
  [[ -f $work/root/usr/share/icons/hicolor/${size}x$size/apps/$icon.png ]] || fail "no $size px icon '$icon'"
done

step "make install puts the package's files under its prefix"
cmake --install "$build" --prefix "$work/prefix" >/dev/null
diff <(cd "$work/root/usr" && find . -type f | sort) <(cd "$work/prefix" && find . -type f | sort) ||
  fail "make install and the package install different files"

step "dpkg -i"
dpkg -i "$deb"
[[ $(dpkg-query -W -f='${Status}' lanscout) == "install ok installed" ]] || fail "not installed"

step "the installed program and its manual page"
version=$(/usr/bin/lanscout --version)
[[ $version =~ ^Lanscout\ [0-9]+\.[0-9]{2}\.[0-9]{4}$ ]] || fail "lanscout --version printed '$version'"
echo "$version"
page=$(MANWIDTH=80 man -l /usr/share/man/man1/lanscout.1.gz 2>&1)
for heading in NAME SYNOPSIS DESCRIPTION OPTIONS NETWORK FIREWALL FILES ENVIRONMENT; do
  grep -q "^$heading" <<<"$page" || fail "the manual page has no $heading section"
done
grep -q "ufw allow 40014/udp" <<<"$page" || fail "the manual page lacks the firewall commands"
cli_version=$(/usr/bin/lanscout-cli --version)
[[ $cli_version == "lanscout-cli ${version#Lanscout }" ]] || fail "lanscout-cli --version printed '$cli_version'"
cli_page=$(MANWIDTH=80 man -l /usr/share/man/man1/lanscout-cli.1.gz 2>&1)
for heading in NAME SYNOPSIS COMMANDS PASSWORDS "EXIT STATUS"; do
  grep -q "^$heading" <<<"$cli_page" || fail "lanscout-cli's manual page has no $heading section"
done

step "the hand-over store"
store=/var/lib/lanscout/registry
modes=$(stat -c '%U %G %a' "$store")
[[ $modes == "root lanscout 2775" ]] || fail "store is '$modes', want 'root lanscout 2775'"
useradd --system --no-create-home --shell /usr/sbin/nologin --groups lanscout lanscout-ci-a
useradd --system --no-create-home --shell /usr/sbin/nologin --groups lanscout lanscout-ci-b
useradd --system --no-create-home --shell /usr/sbin/nologin lanscout-ci-out
install -m 755 "$build/tests/package/store_writer" "$work/store_writer"
write_as() { runuser -u "$1" -- env -u LANSCOUT_REGISTRY_ROOT "$work/store_writer" "${@:2}"; }
if write_as lanscout-ci-out IPCameraIP 10.0.0.9 2>/dev/null; then
  fail "a user outside the group wrote into the store"
fi
write_as lanscout-ci-a IPCameraIP 10.0.0.1 || fail "a member of the group could not make the key"
write_as lanscout-ci-b IPCameraUserID operator || fail "another member could not write the key the first made"
key="$store/HKEY_LOCAL_MACHINE/SOFTWARE/Brenmark/Halvex DVR/PELMTempSettings"
grep -q '^"IPCameraIP"="10.0.0.1"$' "$key/values.reg" || fail "the first member's value was lost"
grep -q '^"IPCameraUserID"="operator"$' "$key/values.reg" || fail "the second member's value is missing"
[[ $(stat -c '%G %a' "$key") == "lanscout 2777" ]] || fail "the key is $(stat -c '%G %a' "$key"), want 'lanscout 2777'"
echo "store: $modes; key made by one member, written by another: $(stat -c '%U %G %a' "$key")"

step "after the first hand-over, only the hand-over key is open to everyone"
above=("$store/HKEY_LOCAL_MACHINE" "$store/HKEY_LOCAL_MACHINE/SOFTWARE" "$store/HKEY_LOCAL_MACHINE/SOFTWARE/Brenmark"
       "$store/HKEY_LOCAL_MACHINE/SOFTWARE/Brenmark/Halvex DVR")
for folder in "$store" "${above[@]}"; do
  [[ $folder == "$store" || $(stat -c '%G %a' "$folder") == "lanscout 2775" ]] ||
    fail "$folder is $(stat -c '%G %a' "$folder"), want the store's 'lanscout 2775'"
  if runuser -u lanscout-ci-out -- mkdir "$folder/made-by-an-outsider" 2>/dev/null; then
    fail "a user outside the group made a folder in $folder"
  fi
done
if write_as lanscout-ci-out --key 1 IPCameraIP 10.0.0.9 2>/dev/null; then
  fail "a user outside the group made a key"
fi
write_as lanscout-ci-out IPCameraNote outsider || fail "the hand-over key is not open to everyone"
echo "no folder or key made by an outsider; the hand-over key written by one"

step "traps planted in the store by other accounts"
bash "$(dirname "$0")/store_traps.sh" "$build" "$work" lanscout-ci-a lanscout-ci-b lanscout-ci-out

step "removing keeps the store, purging deletes it"
dpkg -r lanscout >/dev/null
[[ -f $key/values.reg ]] || fail "removing the package deleted the store"
dpkg --purge lanscout >/dev/null
[[ ! -e /var/lib/lanscout ]] || fail "purging the package left /var/lib/lanscout"
echo "check_package: all checks passed"
