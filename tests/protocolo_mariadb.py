"""What tests/servidor_falso.py and tests/relevo_tls.py share: the MariaDB protocol's packets, the
log file both append to, and the listening socket on 127.0.0.1 whose port goes to stdout."""
import socket
import struct
import threading

CLIENT_SSL = 0x0800  # capability bit: the server takes TLS / the client asks for it


def paquete(secuencia, cuerpo):
    return struct.pack("<I", len(cuerpo))[:3] + bytes([secuencia & 0xFF]) + cuerpo


def leer_paquete(conexion):
    """The next packet as (sequence number, payload); None when the peer closes before it ends."""
    def exactos(cuantos):
        datos = b""
        while len(datos) < cuantos:
            trozo = conexion.recv(cuantos - len(datos))
            if not trozo:
                return None
            datos += trozo
        return datos

    cabecera = exactos(4)
    cuerpo = cabecera and exactos(int.from_bytes(cabecera[:3], "little"))
    return None if cuerpo is None else (cabecera[3], cuerpo)


class Registro:
    """The log: lines appended from every connection's thread, each written whole and flushed."""

    def __init__(self, camino):
        self._archivo = open(camino, "a", encoding="utf-8")
        self._cerrojo = threading.Lock()

    def __call__(self, linea):
        with self._cerrojo:
            self._archivo.write(linea + "\n")
            self._archivo.flush()


def servir(atender):
    """Prints the port, then runs atender(connection) on a thread of its own for each client, so a
    program that opens several sessions at once is served; the connection is closed afterwards.
    Ends quietly on Ctrl+C."""
    escucha = socket.create_server(("127.0.0.1", 0))
    print(escucha.getsockname()[1], flush=True)

    def hilo(conexion):
        try:
            conexion.settimeout(30)
            atender(conexion)
        except OSError:
            pass
        finally:
            conexion.close()

    try:
        while True:
            conexion, _ = escucha.accept()
            threading.Thread(target=hilo, args=(conexion,), daemon=True).start()
    except KeyboardInterrupt:
        pass
