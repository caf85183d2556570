#!/usr/bin/env bash
# The executables as files: every one imports only Windows' own DLLs; the two programs carry the
# application manifest, long-path aware; the dialog program carries its version block.
#   check-binaries.sh OBJDUMP DIALOG_EXE CLI_EXE [OTHER_EXE...]
set -u
objdump="$1" dialog="$2" cli="$3" failed=0
system='(kernel32|user32|gdi32|comctl32|comdlg32|winmm|advapi32|bcrypt|msvcrt|shell32|ole32|uxtheme|api-ms-win-.*)\.dll'
for exe in "${@:2}"; do
  imports=$("$objdump" -p "$exe" | awk '/DLL Name/ {print tolower($3)}')
  others=$(grep -vxE "$system" <<<"$imports")
  grep -qx kernel32.dll <<<"$imports" && [ -z "$others" ] || { echo "$exe imports: $imports" >&2; failed=1; }
done
for exe in "$dialog" "$cli"; do
  grep -q 'level="asInvoker"' "$exe" || { echo "$exe carries no application manifest" >&2; failed=1; }
  grep -q '>true</longPathAware>' "$exe" || { echo "$exe is not long-path aware" >&2; failed=1; }
done
strings -el "$dialog" | grep -qx 'V1.02' || { echo "$dialog carries no version V1.02" >&2; failed=1; }
exit $failed
