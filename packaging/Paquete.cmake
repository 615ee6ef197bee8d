# What `cmake --install` puts where, and the Debian package `cpack -G DEB` makes of it:
#   bin/varelmo, bin/talmira-host
#   share/varelmo/varelmo.txt                       the description file
#   share/applications/, share/metainfo/            the menu entry and its AppStream metadata
#   share/icons/hicolor/{scalable,256x256}/apps/    the icon, drawn from the skin's logo
#   share/man/man1/, share/doc/varelmo/             manual pages, copyright and changelog
# An installed program finds its description file in ../share/varelmo from its own folder, and
# keeps settings and workbooks in the user's folders.
include(GNUInstallDirs)
set(VARELMO_ID org.varelmo.ReporteVarelmo)
set(VARELMO_PAQUETE ${CMAKE_BINARY_DIR}/paquete)
find_package(Python3 REQUIRED COMPONENTS Interpreter)
find_program(GZIP gzip REQUIRED)

add_custom_command(OUTPUT ${VARELMO_PAQUETE}/${VARELMO_ID}.svg ${VARELMO_PAQUETE}/${VARELMO_ID}.png
  COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/scripts/hacer-icono ${VARELMO_PAQUETE} ${VARELMO_ID}
  DEPENDS ${CMAKE_SOURCE_DIR}/scripts/hacer-icono ${CMAKE_SOURCE_DIR}/scripts/logo.py)

# Manual pages and the changelog carry the version, and go compressed without a time stamp.
set(VARELMO_COMPRIMIDOS)
foreach(origen varelmo.1 talmira-host.1 changelog.in)
  string(REGEX REPLACE "\\.in$" "" nombre ${origen})
  configure_file(packaging/${origen} ${VARELMO_PAQUETE}/${nombre} @ONLY)
  add_custom_command(OUTPUT ${VARELMO_PAQUETE}/${nombre}.gz
    COMMAND ${GZIP} -9nf -k ${VARELMO_PAQUETE}/${nombre}
    DEPENDS ${VARELMO_PAQUETE}/${nombre})
  list(APPEND VARELMO_COMPRIMIDOS ${VARELMO_PAQUETE}/${nombre}.gz)
endforeach()
configure_file(packaging/${VARELMO_ID}.metainfo.xml ${VARELMO_PAQUETE}/${VARELMO_ID}.metainfo.xml
  @ONLY)
add_custom_target(paquete_datos ALL DEPENDS ${VARELMO_COMPRIMIDOS}
  ${VARELMO_PAQUETE}/${VARELMO_ID}.svg ${VARELMO_PAQUETE}/${VARELMO_ID}.png)

install(TARGETS varelmo talmira-host DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES data/varelmo.txt DESTINATION ${CMAKE_INSTALL_DATADIR}/varelmo)
install(FILES packaging/${VARELMO_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${VARELMO_PAQUETE}/${VARELMO_ID}.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${VARELMO_PAQUETE}/${VARELMO_ID}.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${VARELMO_PAQUETE}/${VARELMO_ID}.png
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps)
install(FILES ${VARELMO_PAQUETE}/varelmo.1.gz ${VARELMO_PAQUETE}/talmira-host.1.gz
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES packaging/copyright ${VARELMO_PAQUETE}/changelog.gz
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/varelmo)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME varelmo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Equipo de Reporte varelmo")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "reporte de costos y precios de varias empresas de Talmira Premium")
# The package's long description, under the summary line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Reporte varelmo acompaña a Talmira Premium, que guarda los datos de cada
empresa en una base de datos de un servidor MySQL o MariaDB. Se marcan las
empresas y se elige un nivel de precio; el programa reúne todas las claves de
producto de esas empresas y escribe un libro .xls o .xlsx con el costo y el
precio de cada empresa en columnas vecinas, señalando las claves que faltan en
alguna empresa. Incluye talmira-host, que prepara una instalación de Talmira
Premium y empresas de demostración.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Equipo de Reporte varelmo <varelmo@example.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window system's plugins are loaded at run time: the linker does not see them. The MariaDB
# client library, with its login-method plugins, comes from what the programs link.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
  GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
