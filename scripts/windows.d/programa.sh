# The program's part of scripts/windows: both programs built on the cached prefixes, the portable
# folder with exactly the DLLs they import, its zip and the NSIS installer. Sourced by
# scripts/windows.

SALIDA=$raiz_repo/build-windows
VERSION_PROGRAMA=$(sed -n 's/^project(varelmo VERSION \([0-9.]*\).*/\1/p' "$raiz_repo/CMakeLists.txt")
NOMBRE_PORTATIL=varelmo-$VERSION_PROGRAMA-windows-x64
# The folders the DLLs come from: the cached prefixes and MinGW-w64's runtime.
carpetas_dll() {
  echo "$CACHE/actual/qtbase/bin" "$CACHE/actual/libmariadb/lib/mariadb" \
    "$(dirname "$($TRIPLETE-g++-posix -print-libgcc-file-name)")" "/usr/$TRIPLETE/lib"
}

construir_programa() {
  local raices=() dep pc=()
  for dep in "${ORDEN[@]}"; do
    raices+=("${PREFIJO[$dep]}")
    pc+=("${PREFIJO[$dep]}/lib/pkgconfig")
  done
  export PKG_CONFIG_LIBDIR
  PKG_CONFIG_LIBDIR=$(IFS=:; echo "${pc[*]}")
  cmake -S "$raiz_repo" -B "$SALIDA/obj" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$dir_d/mingw-w64.cmake" \
    -DCMAKE_FIND_ROOT_PATH="$(IFS=';'; echo "${raices[*]}")" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake >/dev/null
  cmake --build "$SALIDA/obj" --parallel "$JOBS"
}

# The file of a DLL in the folders it is taken from; nothing when it is none of them.
buscar_dll() {
  local nombre=$1 d f
  for d in $(carpetas_dll); do
    f=$(dll_en "$nombre" "$d")
    [ -n "$f" ] && { echo "$f"; return 0; }
  done
  return 0
}

# Copies into the folder every DLL the PE files already there import, and those that these
# import, until nothing is missing; a DLL found nowhere must be Windows' own.
copiar_dlls() {
  local carpeta=$1 pendientes cambio=1 pe nombre f
  while [ $cambio = 1 ]; do
    cambio=0
    while IFS= read -r -d '' pe; do
      for nombre in $(dlls_importadas "$pe"); do
        [ -n "$(dll_en "$nombre" "$carpeta")" ] && continue
        f=$(buscar_dll "$nombre")
        if [ -n "$f" ]; then
          $TRIPLETE-strip --strip-unneeded -o "$carpeta/$(basename "$f")" "$f"
          cambio=1
        elif ! es_de_windows "$nombre"; then
          echo "$(basename "$pe") importa $nombre, que no está en ninguna parte" >&2
          exit 1
        fi
      done
    done < <(find "$carpeta" -iname '*.exe' -print0 -o -iname '*.dll' -print0)
  done
}

# The portable folder: the executables, stripped, the Qt plugins of the window system and the
# style, the DLLs they import, the description file and LEEME.txt (CRLF, as Notepad shows it).
armar_carpeta() {
  local carpeta=$SALIDA/$NOMBRE_PORTATIL qt=$CACHE/actual/qtbase/plugins exe
  rm -rf "$carpeta"
  mkdir -p "$carpeta/platforms" "$carpeta/styles"
  for exe in varelmo varelmo-consola talmira-host; do
    $TRIPLETE-strip -o "$carpeta/$exe.exe" "$SALIDA/obj/$exe.exe"
  done
  $TRIPLETE-strip --strip-unneeded -o "$carpeta/platforms/qwindows.dll" "$qt/platforms/qwindows.dll"
  $TRIPLETE-strip --strip-unneeded -o "$carpeta/styles/qwindowsvistastyle.dll" \
    "$qt/styles/qwindowsvistastyle.dll"
  copiar_dlls "$carpeta"
  cp "$raiz_repo/data/varelmo.txt" "$carpeta/varelmo.txt"
  sed "s/@VERSION@/$VERSION_PROGRAMA/g; s/\$/\r/" "$raiz_repo/packaging/windows/LEEME.txt" \
    >"$carpeta/LEEME.txt"
}

# The tests built for Windows, in a folder of their own with what they import, for
# scripts/probar-windows.
armar_pruebas() {
  local carpeta=$SALIDA/pruebas qt=$CACHE/actual/qtbase/plugins prueba
  rm -rf "$carpeta"
  mkdir -p "$carpeta/platforms"
  while read -r prueba; do
    $TRIPLETE-strip -o "$carpeta/$prueba.exe" "$SALIDA/obj/tests/windows/$prueba.exe"
  done <"$SALIDA/obj/tests/windows/pruebas.txt"
  $TRIPLETE-strip --strip-unneeded -o "$carpeta/platforms/qwindows.dll" "$qt/platforms/qwindows.dll"
  copiar_dlls "$carpeta"
}

hacer_zip() {
  rm -f "$SALIDA/$NOMBRE_PORTATIL.zip"
  (cd "$SALIDA" && python3 -m zipfile -c "$NOMBRE_PORTATIL.zip" "$NOMBRE_PORTATIL/")
}

hacer_instalador() {
  local carpeta=$SALIDA/$NOMBRE_PORTATIL
  makensis -V2 -DVERSION="$VERSION_PROGRAMA" -DCARPETA="$carpeta" \
    -DICONO="$SALIDA/obj/windows/varelmo.ico" -DTAMANO_KB="$(du -sk "$carpeta" | cut -f1)" \
    -DSALIDA="$SALIDA/$NOMBRE_PORTATIL-setup.exe" "$raiz_repo/packaging/windows/varelmo.nsi"
}
