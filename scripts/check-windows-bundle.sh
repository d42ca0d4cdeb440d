#!/usr/bin/env bash
# Checks a Windows folder made by scripts/build-windows.sh: every DLL that one of its programs or DLLs imports
# is either in the folder or one that Windows itself ships.
#     ./scripts/check-windows-bundle.sh build/windows/bundle
set -euo pipefail
folder=${1:?the bundle folder}

# The DLLs of Windows itself that Qt, libarchive, libcrypto and the programs import.
system='^(advapi32|authz|bcrypt|comctl32|comdlg32|crypt32|d2d1|d3d11|d3d9|dnsapi|dwmapi|dwrite|dxgi|gdi32|imm32|iphlpapi|kernel32|mpr|msvcrt|ncrypt|netapi32|ole32|oleaut32|secur32|setupapi|shcore|shell32|shlwapi|user32|userenv|uxtheme|version|winhttp|wininet|winmm|wtsapi32|ws2_32|api-ms-win-[a-z0-9-]+)\.dll$'

missing=0
checked=0
while IFS= read -r -d '' file; do
    checked=$((checked + 1))
    while IFS= read -r dll; do
        lower=$(echo "$dll" | tr '[:upper:]' '[:lower:]')
        if [[ "$lower" =~ $system ]]; then
            continue
        fi
        if [ -z "$(find "$folder" -maxdepth 1 -iname "$dll" -print -quit)" ]; then
            echo "check-windows-bundle: ${file#"$folder"/} imports $dll, which is neither in the folder nor part of Windows"
            missing=$((missing + 1))
        fi
    done < <(x86_64-w64-mingw32-objdump -p "$file" | sed -n 's/^\tDLL Name: //p')
done < <(find "$folder" \( -iname '*.exe' -o -iname '*.dll' \) -print0)

if [ "$checked" -eq 0 ]; then
    echo "check-windows-bundle: no program or DLL in $folder"
    exit 1
fi
if [ "$missing" -gt 0 ]; then
    exit 1
fi
echo "check-windows-bundle: $checked programs and DLLs, every import found"
