#!/usr/bin/env bash
# The setup program as an administrator runs it without a window: setup.sh WINE_SH SETUP_EXE
# BUILT_CLI_EXE, inside a lab with a fresh prefix (in-lab.sh). A silent install must leave
# both programs under Program Files, the Start menu shortcut and the Add/Remove Programs
# entry, and an installed lanscout-cli.exe that prints the build's version; a silent
# uninstall must take all of it away and leave the management system's hand-over values.
set -euo pipefail
wine=${1:?usage: setup.sh WINE_SH SETUP_EXE BUILT_CLI_EXE}
setup=${2:?usage: setup.sh WINE_SH SETUP_EXE BUILT_CLI_EXE}
built_cli=${3:?usage: setup.sh WINE_SH SETUP_EXE BUILT_CLI_EXE}
: "${WINEPREFIX:?setup.sh runs inside tests/windows/in-lab.sh}"

folder=$WINEPREFIX/drive_c/Program\ Files/Lanscout
shortcut=$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start\ Menu/Programs/Lanscout.lnk
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Lanscout'
vms_key='HKLM\SOFTWARE\Brenmark\Halvex DVR\PELMTempSettings'
failed=0
fail() { echo "setup.sh: $*" >&2; failed=1; }
query() { "$wine" reg query "$@" 2>/dev/null | tr -d '\r'; }

# The management system's hand-over, there before Lanscout is installed.
"$wine" reg add "$vms_key" /v IPCameraAddress /t REG_SZ /d 10.77.0.10 /reg:32 /f >/dev/null
"$wine" reg add "$vms_key" /v IPCameraNeedSaveToHalvex /t REG_DWORD /d 1 /reg:32 /f >/dev/null

"$wine" "$setup" /S || fail "the silent install ended with $?"
for file in lanscout.exe lanscout-cli.exe README.txt uninstall.exe; do
  [[ -f $folder/$file ]] || fail "$file was not installed"
done
[[ -f $shortcut ]] || fail "the Start menu shortcut was not made"
entry=$(query "$uninstall_key" /reg:64)
for value in DisplayName Publisher DisplayVersion DisplayIcon EstimatedSize UninstallString QuietUninstallString; do
  grep -Eq "^ +$value +REG_" <<<"$entry" || fail "Add/Remove Programs has no $value"
done
echo "the firewall, as the install log has it:"
tr -d '\r' <"$folder/install.log" | sed 's/^/  /'
grep -q 'add rule name="Lanscout camera answers".*program="C:\\Program Files\\Lanscout\\lanscout.exe"' "$folder/install.log" ||
  fail "the install log does not show the rule for lanscout.exe"
grep -q 'add rule name="Lanscout camera answers".*program="C:\\Program Files\\Lanscout\\lanscout-cli.exe"' "$folder/install.log" ||
  fail "the install log does not show the rule for lanscout-cli.exe"

installed=$("$wine" 'C:\Program Files\Lanscout\lanscout-cli.exe' --version | tr -d '\r')
expected=$("$wine" "$built_cli" --version | tr -d '\r')
[[ $installed == "$expected" && -n $expected ]] || fail "the installed lanscout-cli.exe says '$installed', not '$expected'"

# The uninstaller runs a copy of itself from the temporary folder and returns at once; the
# folder it removes last is the sign that it has finished.
"$wine" "$folder/uninstall.exe" /S || fail "the silent uninstall ended with $?"
for ((tenth = 0; tenth < 600; ++tenth)); do
  [[ -e $folder ]] || break
  sleep 0.1
done
[[ ! -e $folder ]] || fail "the program folder is still there: $(ls -A "$folder" | tr '\n' ' ')"
[[ ! -e $shortcut ]] || fail "the Start menu shortcut is still there"
query "$uninstall_key" /reg:64 >/dev/null && fail "Add/Remove Programs still lists Lanscout"
log=$(find "$WINEPREFIX/drive_c/users" -name Lanscout-uninstall.log -print -quit) # in the user's %TEMP%
if [[ -n $log ]]; then
  echo "the uninstall's log:"
  tr -d '\r' <"$log" | sed 's/^/  /'
else
  fail "the uninstall left no log of the firewall's answer"
fi
handover=$(query "$vms_key" /reg:32)
grep -Eq '^ +IPCameraAddress +REG_SZ +10.77.0.10$' <<<"$handover" &&
  grep -Eq '^ +IPCameraNeedSaveToHalvex +REG_DWORD +0x1$' <<<"$handover" ||
  fail "the uninstall touched the hand-over: $handover"

((failed == 0)) && echo "setup.sh: installed, ran and uninstalled silently; the hand-over stayed"
exit "$failed"
