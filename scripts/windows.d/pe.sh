# What scripts/windows and scripts/probar-windows read of Windows executables and DLLs (PE files):
# the DLLs one imports, and whether a DLL is Windows' own. Sourced by both.

# Windows' own DLLs, as wine provides them.
SISTEMA_WINE=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows

# The DLLs a PE file imports, by the names it gives.
dlls_importadas() {
  x86_64-w64-mingw32-objdump -p "$1" | sed -n 's/^\s*DLL Name: //p'
}

# The file of the DLL named $1 in the folder $2, whatever its case; nothing when it is not there.
dll_en() {
  find "$2" -maxdepth 1 -iname "$1" -print -quit
}

# Whether a DLL is Windows' own: one that wine provides, or an API set (api-ms-win-*, ext-ms-*),
# which names a part of Windows' own DLLs.
es_de_windows() {
  [[ "${1,,}" == api-ms-win-* || "${1,,}" == ext-ms-* ]] || [ -n "$(dll_en "$1" "$SISTEMA_WINE")" ]
}
