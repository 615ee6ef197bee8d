#!/usr/bin/python3
"""A fake MariaDB server for the tests: it greets a client as a real one would (offering no TLS),
then tries to get the password out of it. Whatever the client sends goes to the log.

    servidor_falso.py MODO LOG    prints the port it listens on (127.0.0.1), then serves
                                  connections until it is killed

Modes:
    claro    switches the login to mysql_clear_password: an obeying client sends the password.
    dialog   switches the login to dialog, whose question asks for the password: an answering
             client sends it in clear.
    sha2     greets with caching_sha2_password and asks for full authentication; hands out its
             own RSA public key when the client asks for the server's, and decrypts what comes
             back (OAEP, then XOR with the greeting's nonce). A password sent in clear (what the
             method does over a channel it believes secure) is taken as well.
    sha256   the same with sha256_password (the client asks for the key with 0x01).
    sintls   greets with mysql_native_password, accepts any login and answers every query with
             an error: a client that requires TLS must leave without sending a login.
    archivo  accepts any login as sintls does, then answers every query by asking the client for
             a file of its own (LOAD DATA LOCAL, /etc/passwd): an obeying client sends it.

Log lines (appended, flushed one by one):
    RECIBIDO <hex>   one packet the client sent, header included
    LOGIN            a login packet arrived (not just a request for TLS)
    CLARO <hex>      the password recovered, hex-encoded
"""
import os
import subprocess
import sys

from protocolo_mariadb import CLIENT_SSL, Registro, leer_paquete, paquete, servir

METODO = {"claro": "mysql_native_password", "dialog": "mysql_native_password",
          "sha2": "caching_sha2_password", "sha256": "sha256_password",
          "sintls": "mysql_native_password", "archivo": "mysql_native_password"}
# protocol 4.1, secure connection, plugin auth (length-encoded too), long password, long flag,
# connect with db; never CLIENT_SSL.
CAPACIDADES = 0x0200 | 0x8000 | 0x00080000 | 0x00200000 | 0x0001 | 0x0004 | 0x0008
assert not CAPACIDADES & CLIENT_SSL
DENEGADO = b"\xff" + (1045).to_bytes(2, "little") + b"#28000Acceso denegado"


def saludo(metodo, semilla):
    cuerpo = b"\x0a5.5.5-10.11.0-MariaDB\0" + (7).to_bytes(4, "little") + semilla[:8] + b"\0"
    cuerpo += (CAPACIDADES & 0xFFFF).to_bytes(2, "little") + bytes([45]) + b"\x02\x00"
    cuerpo += (CAPACIDADES >> 16).to_bytes(2, "little") + bytes([21]) + b"\0" * 10
    return cuerpo + semilla[8:] + b"\0" + metodo.encode() + b"\0"


def metodo_del_login(login):
    """The authentication method named by a login packet and the data it carries for it."""
    capacidades = int.from_bytes(login[:4], "little")
    resto = login[32:].split(b"\0", 1)[1]  # past the user name
    if capacidades & 0x00200000:  # length-encoded data
        largo, resto = resto[0], resto[1:]
        if largo >= 0xFB:
            ancho = {0xFC: 2, 0xFD: 3, 0xFE: 8}.get(largo, 0)
            largo, resto = int.from_bytes(resto[:ancho], "little"), resto[ancho:]
    elif capacidades & 0x8000:
        largo, resto = resto[0], resto[1:]
    else:
        largo = resto.find(b"\0") + 1
    datos, resto = resto[:largo], resto[largo:]
    if capacidades & 0x0008:  # a database name comes first
        resto = resto.split(b"\0", 1)[-1]
    metodo = resto.split(b"\0", 1)[0] if capacidades & 0x00080000 else b""
    return metodo.decode(errors="replace"), datos


class Claves:
    """An RSA key pair of its own, made with the openssl command and kept in memory only (nothing
    is left on disk when the server is killed)."""

    def __init__(self):
        self._privada = openssl(["genpkey", "-algorithm", "RSA", "-pkeyopt",
                                 "rsa_keygen_bits:2048"])
        self.publica = openssl(["pkey", "-pubout"], self._privada)

    def descifrar(self, cifrado):
        for relleno in ("oaep", "pkcs1"):
            lectura, escritura = os.pipe()  # the private key reaches openssl through a pipe
            os.write(escritura, self._privada)
            os.close(escritura)
            try:
                return openssl(["pkeyutl", "-decrypt", "-inkey", f"/dev/fd/{lectura}", "-pkeyopt",
                                "rsa_padding_mode:" + relleno], cifrado, (lectura,))
            except subprocess.CalledProcessError:
                pass
            finally:
                os.close(lectura)
        return None


def openssl(argumentos, entrada=b"", descriptores=()):
    return subprocess.run(["openssl"] + argumentos, input=entrada, capture_output=True,
                          check=True, pass_fds=descriptores).stdout


def main(argv):
    if len(argv) != 3 or argv[1] not in METODO:
        sys.exit("uso: servidor_falso.py claro|dialog|sha2|sha256|sintls|archivo LOG")
    modo, registro = argv[1], Registro(argv[2])
    claves = Claves() if modo in ("sha2", "sha256") else None

    def atender(conexion):
        semilla = bytes(b % 94 + 33 for b in os.urandom(20))  # no NUL: it ends the plugin data
        ultima = 0  # sequence number of the client's last packet

        def leer():
            nonlocal ultima
            recibido = leer_paquete(conexion)
            if recibido is None:
                raise ConnectionAbortedError
            registro("RECIBIDO " + paquete(*recibido).hex())
            ultima = recibido[0]
            return recibido[1]

        def enviar(cuerpo):
            conexion.sendall(paquete(ultima + 1, cuerpo))

        def claro(datos):
            clave = datos.split(b"\0", 1)[0]
            if clave:
                registro("CLARO " + clave.hex())
            enviar(DENEGADO)

        conexion.sendall(paquete(0, saludo(METODO[modo], semilla)))
        login = leer()
        if len(login) <= 32:  # only a request for TLS, which was not offered
            return
        registro("LOGIN")
        metodo, datos = metodo_del_login(login)
        if modo in ("sintls", "archivo"):
            enviar(b"\x00\x00\x00\x02\x00\x00\x00")
            while (orden := leer())[:1] != b"\x01":  # until COM_QUIT
                if modo == "archivo" and orden[:1] == b"\x03":
                    enviar(b"\xfb/etc/passwd")  # LOCAL INFILE request
                    while leer():  # the file, up to an empty packet
                        pass
                enviar(b"\xff" + (1064).to_bytes(2, "little") + b"#42000Consulta no atendida")
            return
        if modo in ("claro", "dialog"):
            pregunta = b"mysql_clear_password\0" if modo == "claro" else b"dialog\0\x05Password: "
            enviar(b"\xfe" + pregunta)  # AuthSwitchRequest
            return claro(leer())
        if metodo != METODO[modo]:
            enviar(b"\xfe" + METODO[modo].encode() + b"\0" + semilla + b"\0")
            datos = leer()
        if modo == "sha2":
            enviar(b"\x01\x04")  # perform full authentication
            datos = leer()
        if datos == (b"\x02" if modo == "sha2" else b"\x01"):  # asks for the public key
            enviar(b"\x01" + claves.publica)
            datos = leer()
        if len(datos) != 256:
            return claro(datos)
        descifrado = claves.descifrar(datos) or b""
        claro(bytes(b ^ semilla[i % len(semilla)] for i, b in enumerate(descifrado)))

    servir(atender)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
