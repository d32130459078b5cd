#!/usr/bin/env bash
# The hand-over as an administrator sees it with reg.exe, a program apart from the writer:
# test_handover_registry.exe hands a camera over and clears its flag as a start does, then
# `reg query /reg:32`, the 32-bit view the management system reads, must list exactly the
# five values, and the 64-bit view must not have the key at all.
#   handover_reg_query.sh WINE_SH TEST_EXE    (where wine.sh may run: inside in-lab.sh)
set -euo pipefail
wine=${1:?usage: handover_reg_query.sh WINE_SH TEST_EXE}
exe=${2:?usage: handover_reg_query.sh WINE_SH TEST_EXE}
if ! ran=$("$wine" "$exe" --gtest_filter='HandOverRegistry.HandOverIsReadAsWritten*' 2>&1); then
  printf 'the hand-over was not written:\n%s\n' "$ran" >&2
  exit 1
fi
key='HKLM\SOFTWARE\Brenmark\Halvex DVR\PELMTempSettings'
shown=$("$wine" reg query "$key" /reg:32 | tr -d '\r')
if native=$("$wine" reg query "$key" /reg:64 2>&1); then
  printf 'the 64-bit view has the hand-over key:\n%s\n' "$native" >&2
  exit 1
fi
expected=(
  'HKEY_LOCAL_MACHINE\SOFTWARE\Brenmark\Halvex DVR\PELMTempSettings'
  '    IPCameraNeedSaveToHalvex    REG_DWORD    0x0'
  '    IPCameraAddress    REG_SZ    10.77.0.10'
  '    IPCameraUserName    REG_SZ    admin'
  '    IPCameraHTTPPort    REG_DWORD    0x1f90'
)
missing=0
for line in "${expected[@]}"; do
  grep -Fxq -- "$line" <<<"$shown" || { echo "reg query does not show: $line" >&2; missing=1; }
done
# The password's last byte (0xC4) comes out in the console's code page.
grep -Fq -- '    IPCameraPassword    REG_SZ    p"a\ss' <<<"$shown" || { echo "reg query does not show the password" >&2; missing=1; }
values=$(grep -c '^    ' <<<"$shown" || true)
[[ $values == 5 ]] || { echo "reg query shows $values values, not 5" >&2; missing=1; }
if ((missing)); then
  printf 'reg query showed:\n%s\n' "$shown" >&2
  exit 1
fi
echo "reg query /reg:32 shows the hand-over's 5 values; /reg:64 has no such key"
