# The cache of scripts/windows: the packages it needs, where the prefixes live, their keys and
# stamps, and the summary. Sourced by scripts/windows.

# The dependencies in build order, the Debian source package of each, the prefixes each is built on
# and its patch files in scripts/windows.d.
ORDEN=(openssl libmariadb libsodium libxlsxwriter qtbase)
declare -A FUENTE=([openssl]=openssl [libmariadb]=mariadb [libsodium]=libsodium
                   [libxlsxwriter]=libxlsxwriter [qtbase]=qt6-base)
declare -A SOBRE=([libmariadb]=openssl)
declare -A PARCHES=([libmariadb]=mariadb-win_crypt-atexit.patch)
declare -A PREFIJO=() VERSION=()
SELLO=.varelmo-construido
JOBS=${VARELMO_WINDOWS_JOBS:-2}
TRIPLETE=x86_64-w64-mingw32
sudo=""
[ "$(id -u)" = 0 ] || sudo=sudo

instalar_paquetes() {
  local paquetes=(g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-tools
                  libz-mingw-w64-dev cmake ninja-build make autoconf automake libtool dpkg-dev
                  patch qt6-base-dev qt6-base-dev-tools nsis wine wine64 xvfb xauth) faltan=() p
  for p in "${paquetes[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || faltan+=("$p")
  done
  [ ${#faltan[@]} -eq 0 ] && return 0
  echo "instalando: ${faltan[*]}" >&2
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${faltan[@]}" >/dev/null
}

# The cache folder, held under a lock for the whole run: two runs never build into it at once.
preparar_cache() {
  if [ -n "${VARELMO_WINDOWS_CACHE:-}" ]; then
    CACHE=$VARELMO_WINDOWS_CACHE
  elif [ "$(id -u)" = 0 ]; then
    CACHE=/var/cache/varelmo-windows
  else
    CACHE=${XDG_CACHE_HOME:-$HOME/.cache}/varelmo-windows
  fi
  mkdir -p "$CACHE/fuentes" "$CACHE/obra" "$CACHE/registros" "$CACHE/actual"
  CACHE=$(cd "$CACHE" && pwd)
  exec 9>"$CACHE/.cerrojo"
  if ! flock -n 9; then
    echo "otra ejecución usa la caché $CACHE; esperando a que termine" >&2
    flock 9
  fi
}

# The versions of the tools a build's output depends on. Only the upstream version of the host's Qt
# counts: its tools (moc, rcc, uic) must be the same Qt release as the qtbase built.
version_herramientas() {
  dpkg-query -W -f='${Package} ${Version}\n' g++-mingw-w64-x86-64-posix \
    binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev libz-mingw-w64-dev
  [ "$1" = qtbase ] && dpkg-query -W -f='${Version}\n' qt6-base-dev-tools | sed 's/[+-].*//'
  return 0
}

# The key of a dependency: its source version, the text of its recipe and of the helpers every
# recipe uses (as bash prints them, so comments do not count), its patches, the toolchain file,
# the tools' versions and the prefixes it is built on.
clave_de() {
  local dep=$1 version=$2 p
  {
    echo "$dep $version"
    declare -f "construir_$dep" configurar_cmake aplicar_parches
    for p in ${PARCHES[$dep]:-}; do cat "$dir_d/$p"; done
    cat "$dir_d/mingw-w64.cmake"
    version_herramientas "$dep"
    for p in ${SOBRE[$dep]:-}; do echo "${PREFIJO[$p]}"; done
  } | sha256sum | cut -c1-12
}

# Builds a dependency unless its prefix already has its stamp. The build runs in <cache>/obra with
# its output in <cache>/registros/<dep>.log; the stamp is written last.
construir_si_falta() {
  local dep=$1 version dir obra log inicio estado
  version=$(version_fuente "${FUENTE[$dep]}")
  VERSION[$dep]=$version
  dir=$CACHE/$dep-${version#*:}-$(clave_de "$dep" "$version")
  PREFIJO[$dep]=$dir
  if [ ! -f "$dir/$SELLO" ]; then
    obra=$CACHE/obra/$dep
    log=$CACHE/registros/$dep.log
    rm -rf "$dir" "$obra"
    mkdir -p "$obra"
    echo "construyendo $dep $version ($(date +%T); registro en $log)" >&2
    inicio=$(date +%s)
    set +e
    (
      set -e
      desempaquetar "${FUENTE[$dep]}" "$version" "$obra/fuente"
      cd "$obra"
      "construir_$dep" "$obra/fuente" "$dir"
    ) >"$log" 2>&1
    estado=$?
    set -e
    if [ $estado != 0 ]; then
      tail -n 40 "$log" >&2
      echo "falló la construcción de $dep $version; el registro completo está en $log" >&2
      exit 1
    fi
    printf 'version=%s\nsegundos=%s\nfecha=%s\n' "$version" "$(($(date +%s) - inicio))" \
      "$(date -u +%FT%TZ)" >"$dir/$SELLO.tmp"
    mv "$dir/$SELLO.tmp" "$dir/$SELLO"
    rm -rf "$obra"
  fi
  ln -sfn "../$(basename "$dir")" "$CACHE/actual/$dep"
  podar_prefijos "$dep" "$dir"
}

# Earlier prefixes of the same dependency (older versions or recipes) are removed.
podar_prefijos() {
  local dep=$1 dir=$2 otro
  for otro in "$CACHE/$dep"-*; do
    [ -d "$otro" ] && [ "$otro" != "$dir" ] && rm -rf "$otro"
  done
  return 0
}

# One line per dependency (version, build time, size), the prefixes' folder and the cache's size.
resumen() {
  local dep segundos
  echo
  for dep in "${ORDEN[@]}"; do
    segundos=$(sed -n 's/^segundos=//p' "${PREFIJO[$dep]}/$SELLO")
    printf '%-14s %-26s %4d min %02d s  %s\n' "$dep" "${VERSION[$dep]}" $((segundos / 60)) \
      $((segundos % 60)) "$(du -sh "${PREFIJO[$dep]}" | cut -f1)"
  done
  podar_fuentes
  echo "prefijos en $CACHE/actual ($(du -sh "$CACHE" | cut -f1) en la caché, $1 s esta vez)"
}
