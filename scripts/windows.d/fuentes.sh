# Debian's source packages for scripts/windows: the deb-src entry, the download of each source
# into <cache>/fuentes and its unpacking. Sourced by scripts/windows.

FUENTES_DEB=/etc/apt/sources.list.d/varelmo-fuentes.sources

# A deb-src entry made from the machine's own deb822 list: every stanza of debian.sources that
# has binary packages, with its Types turned to deb-src, so that the sources come from the same
# archives as the packages.
agregar_fuentes_deb() {
  local origen=/etc/apt/sources.list.d/debian.sources nuevo
  [ -f "$origen" ] || { echo "no existe $origen: no se sabe de dónde bajar las fuentes" >&2; exit 1; }
  if grep -Eq '^Types:.*deb-src' "$origen"; then
    nuevo=""   # the machine already lists its sources
  else
    nuevo=$(awk 'BEGIN { RS = ""; ORS = "\n\n" }
                 /(^|\n)Types:[^\n]*deb/ { sub(/Types:[^\n]*/, "Types: deb-src"); print }' "$origen")
    [ -n "$nuevo" ] || { echo "$origen no tiene entradas de paquetes" >&2; exit 1; }
  fi
  if [ -n "$nuevo" ] && [ "$(cat "$FUENTES_DEB" 2>/dev/null)" != "$nuevo" ]; then
    printf '%s\n' "$nuevo" | $sudo tee "$FUENTES_DEB" >/dev/null
  elif [ -n "$(apt-cache showsrc --only-source qt6-base 2>/dev/null)" ]; then
    return 0
  fi
  echo "actualizando las listas de apt con las fuentes" >&2
  $sudo apt-get update -qq
  rm -f "$CACHE/fuentes/.no-disponibles"
}

# The versions of a source package that apt knows, newest first.
versiones_de() {
  local v w ordenadas=() i
  for v in $(apt-cache showsrc --only-source "$1" | sed -n 's/^Version: //p' | sort -u); do
    i=0
    for w in "${ordenadas[@]}"; do
      dpkg --compare-versions "$v" gt "$w" && break
      i=$((i + 1))
    done
    ordenadas=("${ordenadas[@]:0:i}" "$v" "${ordenadas[@]:i}")
  done
  printf '%s\n' "${ordenadas[@]}"
}

# Prints the version of a source package to build: the newest one already downloaded or that the
# archive serves. An archive may list a version it does not serve (a mirror behind its lists): such
# a version is noted in <cache>/fuentes/.no-disponibles and not asked for again until the lists
# are updated.
version_fuente() {
  local paquete=$1 v fuentes=$CACHE/fuentes
  touch "$fuentes/.no-disponibles"
  for v in $(versiones_de "$paquete"); do
    [ -f "$fuentes/${paquete}_${v#*:}.dsc" ] && { echo "$v"; return 0; }
    grep -qxF "$paquete=$v" "$fuentes/.no-disponibles" && continue
    descargar_fuente "$paquete" "$v" && { echo "$v"; return 0; }
    echo "$paquete=$v" >>"$fuentes/.no-disponibles"
  done
  echo "no se pudo bajar ninguna versión de las fuentes de $paquete" >&2
  exit 1
}

# Downloads one version into a folder of its own, moved into <cache>/fuentes only when complete.
descargar_fuente() {
  local paquete=$1 v=$2 tmp opciones=()
  [ "$(id -u)" = 0 ] && opciones=(-o APT::Sandbox::User=root)
  tmp=$(mktemp -d "$CACHE/fuentes/.descarga.XXXXXX")
  echo "bajando las fuentes de $paquete $v" >&2
  if (cd "$tmp" && apt-get source --download-only -qq "${opciones[@]}" "$paquete=$v") >&2; then
    mv "$tmp"/* "$CACHE/fuentes/"
    rmdir "$tmp"
  else
    echo "el archivo no sirve $paquete $v" >&2
    rm -rf "$tmp"
    return 1
  fi
}

# Unpacks a downloaded source, Debian's patches applied, into a new folder.
desempaquetar() {
  local paquete=$1 v=$2 destino=$3
  dpkg-source --no-copy --no-check -x "$CACHE/fuentes/${paquete}_${v#*:}.dsc" "$destino" >/dev/null
}

# Removes from <cache>/fuentes the files of versions no longer built.
podar_fuentes() {
  local dep dsc f usados=()
  for dep in "${ORDEN[@]}"; do
    dsc=${FUENTE[$dep]}_${VERSION[$dep]#*:}.dsc
    usados+=("$dsc")
    usados+=($(awk '/^Files:/ { f = 1; next } /^[^ ]/ { f = 0 } f { print $3 }' \
                 "$CACHE/fuentes/$dsc"))
  done
  for f in "$CACHE/fuentes"/*; do
    [[ " ${usados[*]} " == *" $(basename "$f") "* ]] || rm -f "$f"
  done
}
