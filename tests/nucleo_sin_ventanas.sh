#!/bin/sh
# Fails when the core library's link interface, or a program built on the core alone, pulls in
# Qt Gui or Qt Widgets (the windows must stay above the core) or Qt Sql (the sessions are on the
# MariaDB client library itself).
#
#   nucleo_sin_ventanas.sh "INTERFACE_LINK_LIBRARIES of varelmo_programa" PROGRAM...
interfaz=$1
shift
case "$interfaz" in
  *Qt6::Gui*|*Qt6::Widgets*|*Qt6::Sql*|*Qt6Gui*|*Qt6Widgets*|*Qt6Sql*)
    echo "varelmo_programa enlaza Qt Gui, Qt Widgets o Qt Sql: $interfaz" >&2
    exit 1 ;;
esac
for programa in "$@"; do
  if ldd "$programa" | grep -E 'libQt6(Gui|Widgets|Sql)' >&2; then
    echo "$programa enlaza Qt Gui, Qt Widgets o Qt Sql" >&2
    exit 1
  fi
done
echo "sin Qt Gui, Qt Widgets ni Qt Sql: el núcleo y $*"
