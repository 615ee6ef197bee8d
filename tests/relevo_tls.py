#!/usr/bin/python3
"""A man in the middle that strips TLS from MariaDB sessions, for the tests: it tells the client
the server takes no TLS, while it speaks TLS to the real server itself, and logs in clear all the
client sends. A client that does not insist on TLS logs in through it and its statements show.

    relevo_tls.py PUERTO_SERVIDOR LOG   prints the port it listens on (127.0.0.1), then relays
                                        each client to the server at 127.0.0.1:PUERTO_SERVIDOR
                                        until it is killed

For each client: the server's greeting goes to the client with the CLIENT_SSL bit cleared; the
client's login packet (without TLS) makes the relay send the server a request for TLS with the
client's capabilities, wrap that connection in TLS (no certificate checked) and pass the login on.
Until the server accepts or refuses it, the server counts one packet more than the client (the
request for TLS), so sequence numbers are shifted on the way in both directions.

Log lines (appended, flushed one by one):
    CLIENTE <hex>       the payload of one packet the client sent
    LOGIN               the client's login went on to the server
    ACEPTADO            the server accepted it (RECHAZADO when it refused it)
    CONSULTA <text>     a statement the client sent (COM_QUERY; line breaks written as \\n)
"""
import select
import socket
import ssl
import sys

from protocolo_mariadb import CLIENT_SSL, Registro, leer_paquete, paquete, servir


def separar(datos):
    """The complete packets at the start of datos as [(sequence, payload)], and what is left."""
    paquetes = []
    while len(datos) >= 4 and len(datos) >= 4 + int.from_bytes(datos[:3], "little"):
        fin = 4 + int.from_bytes(datos[:3], "little")
        paquetes.append((datos[3], datos[4:fin]))
        datos = datos[fin:]
    return paquetes, datos


def recibir(extremo):
    """What a non-blocking socket holds now (b"" when a TLS record brought no data), None when
    the peer has closed and nothing is left."""
    datos = b""
    while True:
        try:
            trozo = extremo.recv(65536)
        except (ssl.SSLWantReadError, BlockingIOError):
            return datos
        if not trozo:
            return datos or None
        datos += trozo


def enviar(extremo, datos):
    extremo.setblocking(True)
    extremo.sendall(datos)
    extremo.setblocking(False)


def con_tls(capacidades_y_resto):
    capacidades = int.from_bytes(capacidades_y_resto[:4], "little") | CLIENT_SSL
    return capacidades.to_bytes(4, "little") + capacidades_y_resto[4:]


def main(argv):
    if len(argv) != 3:
        sys.exit("uso: relevo_tls.py PUERTO_SERVIDOR LOG")
    puerto, registro = int(argv[1]), Registro(argv[2])
    contexto = ssl.SSLContext(ssl.PROTOCOL_TLS_CLIENT)
    contexto.check_hostname = False
    contexto.verify_mode = ssl.CERT_NONE

    def atender(cliente):
        with socket.create_connection(("127.0.0.1", puerto), timeout=30) as servidor:
            relevar(cliente, servidor)

    def relevar(cliente, servidor):
        recibido = leer_paquete(servidor)
        if recibido is None:
            return
        secuencia, saludo = recibido
        if saludo[:1] == b"\x0a":  # not an error: clear CLIENT_SSL in the capabilities' low half
            sitio = saludo.index(b"\0", 1) + 14  # past the version, connection id, nonce, filler
            bajas = int.from_bytes(saludo[sitio:sitio + 2], "little") & ~CLIENT_SSL
            saludo = saludo[:sitio] + bajas.to_bytes(2, "little") + saludo[sitio + 2:]
        cliente.sendall(paquete(secuencia, saludo))
        recibido = leer_paquete(cliente)
        if recibido is None:
            return
        secuencia, login = recibido
        registro("CLIENTE " + login.hex())
        if len(login) <= 32:  # the client asks for TLS all the same: it cannot have it here
            return
        servidor.sendall(paquete(secuencia, con_tls(login[:32])))
        servidor = contexto.wrap_socket(servidor)
        servidor.sendall(paquete(secuencia + 1, con_tls(login)))
        registro("LOGIN")
        desfase = 1  # the request for TLS, until the login is over
        pendiente = {cliente: b"", servidor: b""}
        cliente.setblocking(False)
        servidor.setblocking(False)
        while True:
            for extremo in select.select([cliente, servidor], [], [])[0]:
                datos = recibir(extremo)
                if datos is None:
                    return
                paquetes, pendiente[extremo] = separar(pendiente[extremo] + datos)
                for secuencia, cuerpo in paquetes:
                    if extremo is cliente:
                        registro("CLIENTE " + cuerpo.hex())
                        if not desfase and cuerpo[:1] == b"\x03":
                            texto = cuerpo[1:].decode("utf-8", "replace")
                            registro("CONSULTA " + texto.replace("\r", "\\r").replace("\n", "\\n"))
                        enviar(servidor, paquete(secuencia + desfase, cuerpo))
                        continue
                    enviar(cliente, paquete(secuencia - desfase, cuerpo))
                    if desfase and cuerpo[:1] in (b"\x00", b"\xff"):  # OK or error: login over
                        registro("ACEPTADO" if cuerpo[0] == 0 else "RECHAZADO")
                        desfase = 0

    servir(atender)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
