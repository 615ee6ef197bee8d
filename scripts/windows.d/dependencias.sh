# The recipes of scripts/windows for the libraries under the program: each construir_<name> is
# given the unpacked source and the prefix to install into, and runs in its own work folder.
# Sourced by scripts/windows.

# A CMake project cross-configured into ./obj with the toolchain file and Ninja; the prefixes the
# dependency is built on are searched for its libraries.
configurar_cmake() {
  local fuente=$1 prefijo=$2 dep=$3 raices=() p
  shift 3
  for p in ${SOBRE[$dep]:-}; do raices+=("${PREFIJO[$p]}"); done
  cmake -S "$fuente" -B obj -G Ninja -DCMAKE_TOOLCHAIN_FILE="$dir_d/mingw-w64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefijo" \
    -DCMAKE_FIND_ROOT_PATH="$(IFS=';'; echo "${raices[*]}")" "$@"
}

aplicar_parches() {
  local fuente=$1 dep=$2 p
  for p in ${PARCHES[$dep]:-}; do patch -d "$fuente" -p1 --forward <"$dir_d/$p"; done
}

# OpenSSL 3.0, static, for the TLS of Connector/C and the program's own use of libcrypto.
construir_openssl() {
  local fuente=$1 prefijo=$2
  cd "$fuente"
  CC=$TRIPLETE-gcc-posix AR=$TRIPLETE-ar RANLIB=$TRIPLETE-ranlib RC=$TRIPLETE-windres \
    ./Configure mingw64 no-shared no-module no-tests --prefix="$prefijo" --libdir=lib \
    --openssldir="$prefijo/ssl"
  make -j"$JOBS" build_libs
  make install_dev
}

# Connector/C as libmariadb.dll on the static OpenSSL (Schannel failed under wine), the login
# methods the sessions allow built in (ed25519, and the SHA-2 ones a verified server may ask for),
# so that the program loads no plugin DLL, and a libmariadb.pc for pkg-config, which the Windows build of Connector/C
# does not install (its import library is liblibmariadb.dll.a).
construir_libmariadb() {
  local fuente=$1 prefijo=$2 ossl=${PREFIJO[openssl]} version
  aplicar_parches "$fuente" libmariadb
  configurar_cmake "$fuente/libmariadb" "$prefijo" libmariadb -DWITH_SSL=OPENSSL \
    -DOPENSSL_ROOT_DIR="$ossl" -DOPENSSL_INCLUDE_DIR="$ossl/include" \
    -DLIB_EAY="$ossl/lib/libcrypto.a" -DSSL_EAY="$ossl/lib/libssl.a" \
    -DCMAKE_C_STANDARD_LIBRARIES="-lws2_32 -lcrypt32 -lbcrypt -lgdi32 -luser32 -ladvapi32 -lkernel32" \
    -DWITH_UNIT_TESTS=OFF -DWITH_CURL=OFF -DWITH_DOCS=OFF -DCLIENT_PLUGIN_CLIENT_ED25519=STATIC \
    -DCLIENT_PLUGIN_CACHING_SHA2_PASSWORD=STATIC -DCLIENT_PLUGIN_SHA256_PASSWORD=STATIC
  cmake --build obj -j"$JOBS"
  cmake --install obj
  version=$(sed -n 's/^#define MARIADB_PACKAGE_VERSION "\(.*\)"/\1/p' \
              "$prefijo/include/mariadb/mariadb_version.h")
  mkdir -p "$prefijo/lib/pkgconfig"
  cat >"$prefijo/lib/pkgconfig/libmariadb.pc" <<EOF
prefix=$prefijo
libdir=\${prefix}/lib/mariadb
includedir=\${prefix}/include/mariadb

Name: libmariadb
Description: MariaDB Connector/C, cross-built for Windows
Version: $version
Libs: -L\${libdir} -llibmariadb
Cflags: -I\${includedir}
EOF
}

# libsodium, static: its headers mark nothing for import under MinGW, so nothing more is needed
# to link it.
construir_libsodium() {
  local fuente=$1 prefijo=$2
  cd "$fuente"
  autoreconf -fi
  ./configure --host=$TRIPLETE --prefix="$prefijo" --disable-shared --enable-static \
    --disable-dependency-tracking CC=$TRIPLETE-gcc-posix
  make -j"$JOBS"
  make install
}

# libxlsxwriter, static, on Debian's MinGW zlib (the static libz.a, so no zlib1.dll to ship).
# Without its own MD5 (only for images, which the reports have none of): its MD5_* functions
# would clash with OpenSSL's in the same program. Its pkg-config file names zlib as private, so
# that the program links zlib itself, statically, instead of through -lz's import library.
construir_libxlsxwriter() {
  local fuente=$1 prefijo=$2
  configurar_cmake "$fuente" "$prefijo" libxlsxwriter -DBUILD_SHARED_LIBS=OFF \
    -DBUILD_TESTS=OFF -DBUILD_EXAMPLES=OFF -DZLIB_USE_STATIC_LIBS=ON -DUSE_NO_MD5=ON
  cmake --build obj -j"$JOBS"
  cmake --install obj
  sed -i 's/^Libs: \(.*\) -lz$/Libs: \1\nLibs.private: -lz/' "$prefijo/lib/pkgconfig/xlsxwriter.pc"
  grep -q '^Libs.private: -lz$' "$prefijo/lib/pkgconfig/xlsxwriter.pc"
}
