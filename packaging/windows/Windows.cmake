# The Windows build's own parts, beside the program of every system: the console companion, and
# each executable's icon and version resources. scripts/windows makes the portable folder and the
# installer of what this builds.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(VARELMO_WINDOWS ${CMAKE_BINARY_DIR}/windows)
set(VARELMO_ICONO ${VARELMO_WINDOWS}/varelmo.ico)
add_custom_command(OUTPUT ${VARELMO_ICONO}
  COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/scripts/hacer-icono ${VARELMO_WINDOWS} varelmo
  DEPENDS ${CMAKE_SOURCE_DIR}/scripts/hacer-icono ${CMAKE_SOURCE_DIR}/scripts/logo.py)
add_custom_target(icono_windows DEPENDS ${VARELMO_ICONO})

# The window program is of the Windows subsystem: started from the Explorer it opens no console.
# A console program does not return to cmd.exe, PowerShell or the Task Scheduler until it ends,
# and writes to the console that started it: varelmo-consola.exe is the same program for scripts,
# and uses the settings and workbooks of varelmo.exe beside it.
set_target_properties(varelmo PROPERTIES WIN32_EXECUTABLE ON)
add_executable(varelmo-consola src/main.cpp)
target_compile_options(varelmo-consola PRIVATE ${VARELMO_WARNINGS})
target_link_libraries(varelmo-consola PRIVATE varelmo_ui)

function(varelmo_recursos exe descripcion)
  set(VARELMO_EXE ${exe})
  set(VARELMO_DESCRIPCION ${descripcion})
  configure_file(${CMAKE_SOURCE_DIR}/packaging/windows/recursos.rc.in ${VARELMO_WINDOWS}/${exe}.rc
                 @ONLY)
  target_sources(${exe} PRIVATE ${VARELMO_WINDOWS}/${exe}.rc)
  set_source_files_properties(${VARELMO_WINDOWS}/${exe}.rc PROPERTIES OBJECT_DEPENDS
                              ${VARELMO_ICONO})
  add_dependencies(${exe} icono_windows)
endfunction()
varelmo_recursos(varelmo "Reporte varelmo")
varelmo_recursos(varelmo-consola "Reporte varelmo (consola)")
varelmo_recursos(talmira-host "Instalaciones de prueba de Talmira Premium")
