# The recipe of scripts/windows for Qt's qtbase: shared, release, with only what the program uses
# (Core, Gui, Widgets, and Test for the build's own checks), its tools taken from the host's Qt of
# the same release. Sourced by scripts/windows.

construir_qtbase() {
  local fuente=$1 prefijo=$2
  # Left out: the modules the program does not link (Sql: the sessions talk to Connector/C
  # directly; Network, Concurrent, Xml, PrintSupport, OpenGL, Vulkan, D-Bus), ICU (Windows has
  # its own collation), FreeType and JPEG (the Windows font engine; the images are BMP and PNG),
  # the graphics view, which the windows do not use, and tablet events, whose Wintab header
  # Debian's source leaves out. Direct2D stays: without it Qt 6.4 draws no text with DirectWrite.
  local sin=(-no-opengl -no-dbus -no-icu -no-freetype -no-libjpeg -no-feature-sql
             -no-feature-network -no-feature-concurrent -no-feature-xml -no-feature-printsupport
             -no-feature-vulkan -no-feature-graphicsview -no-feature-tabletevent)
  mkdir -p obj
  cd obj
  # zlib is Debian's MinGW build, linked statically: no zlib1.dll to ship.
  "$fuente/configure" -prefix "$prefijo" -release -shared -xplatform win32-g++ \
    -qt-host-path /usr -nomake tests -nomake examples -no-pkg-config -system-zlib "${sin[@]}" \
    -- -G Ninja -DCMAKE_TOOLCHAIN_FILE="$dir_d/mingw-w64.cmake" \
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake -DZLIB_USE_STATIC_LIBS=ON
  cmake --build . --parallel "$JOBS"
  cmake --install .
  # Each step's start and end, to see where the build's time goes.
  cp .ninja_log "$CACHE/registros/qtbase.ninja_log"
}
