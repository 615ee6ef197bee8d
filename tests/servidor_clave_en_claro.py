#!/usr/bin/python3
"""A fake MariaDB server for the tests: it greets a client as a real one would, then asks it to
switch to the clear-text authentication method ("mysql_clear_password") and writes everything the
client sent to a log file, in hex. A client that obeys would put the password there in clear.

    servidor_clave_en_claro.py LOG     prints the port it listens on (127.0.0.1), then serves
                                       connections until it is killed
"""
import os
import socket
import struct
import sys


def paquete(secuencia, cuerpo):
    return struct.pack("<I", len(cuerpo))[:3] + bytes([secuencia]) + cuerpo


def leer_paquete(conexion):
    cabecera = b""
    while len(cabecera) < 4:
        trozo = conexion.recv(4 - len(cabecera))
        if not trozo:
            return None, b""
        cabecera += trozo
    largo = int.from_bytes(cabecera[:3], "little")
    cuerpo = b""
    while len(cuerpo) < largo:
        trozo = conexion.recv(largo - len(cuerpo))
        if not trozo:
            break
        cuerpo += trozo
    return cabecera[3], cuerpo


def saludo():
    semilla = os.urandom(20).replace(b"\0", b"a")
    capacidades = 0x0200 | 0x8000 | 0x00080000 | 0x00200000 | 0x0001 | 0x0004 | 0x0008
    cuerpo = bytes([10]) + b"5.5.5-10.11.0-MariaDB\0" + struct.pack("<I", 7) + semilla[:8] + b"\0"
    cuerpo += struct.pack("<H", capacidades & 0xFFFF) + bytes([45]) + struct.pack("<H", 2)
    cuerpo += struct.pack("<H", capacidades >> 16) + bytes([21]) + b"\0" * 6 + b"\0" * 4
    cuerpo += semilla[8:] + b"\0" + b"mysql_native_password\0"
    return paquete(0, cuerpo)


def atender(conexion, registro):
    conexion.settimeout(5)
    conexion.sendall(saludo())
    recibido = b""
    secuencia, cuerpo = leer_paquete(conexion)
    if secuencia is None:
        return
    recibido += cuerpo
    # AuthSwitchRequest: 0xFE, the method's name, its data.
    conexion.sendall(paquete(secuencia + 1, b"\xfe" + b"mysql_clear_password\0"))
    try:
        secuencia, cuerpo = leer_paquete(conexion)
        if secuencia is not None:
            recibido += cuerpo
    except OSError:
        pass
    registro.write(recibido.hex() + "\n")
    registro.flush()
    try:
        conexion.sendall(paquete(4, b"\xff" + struct.pack("<H", 1045) + b"#28000Acceso denegado"))
    except OSError:
        pass


def main(argv):
    escucha = socket.socket()
    escucha.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    escucha.bind(("127.0.0.1", 0))
    escucha.listen(8)
    print(escucha.getsockname()[1], flush=True)
    with open(argv[1], "a") as registro:
        while True:
            conexion, _ = escucha.accept()
            try:
                atender(conexion, registro)
            except OSError:
                pass
            finally:
                conexion.close()


if __name__ == "__main__":
    sys.exit(main(sys.argv))
