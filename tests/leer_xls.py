#!/usr/bin/python3
"""Reads an Excel 97-2003 workbook for the tests and prints JSON; independent of our writer.

    leer_xls.py FILE            xlrd (formatting_info): every non-empty cell of the first sheet with
                                value, type ("s", "n", "b"), XF, bold, size, number format; the
                                empty cells written with a format ("blanks"); raw COLINFO widths by
                                column letters, nrows, ncols, in "log" what xlrd complained of, and
                                in "layout" the frozen panes and print titles (xlrd) and the page
                                setup, header and footer (the sheet's own records)
    leer_xls.py --resumen FILE  the same without cells except those of the first and the last row,
                                plus "cell_count": for big sheets
    leer_xls.py --estructura FILE
                                walks the compound file and the BIFF records itself and lists every
                                rule broken in "problems" (record sizes, CONTINUE placement, the
                                sheet offset, DIMENSIONS, XF references, the SST and EXTSST), plus
                                header counts and record tallies
    leer_xls.py --csv FILE      a CSV file (as ssconvert writes it) as {"A1": "text", ...}
"""
import csv
import io
import json
import struct
import sys

import olefile
import xlrd


def letras(col):
    nombre = ""
    col += 1
    while col:
        col, r = divmod(col - 1, 26)
        nombre = chr(65 + r) + nombre
    return nombre


def nombre_celda(fila, col):
    return "%s%d" % (letras(col), fila + 1)


def describir(libro, hoja, fila, col):
    celda = hoja.cell(fila, col)
    tipo = {xlrd.XL_CELL_TEXT: "s", xlrd.XL_CELL_NUMBER: "n", xlrd.XL_CELL_BOOLEAN: "b"}.get(
        celda.ctype, str(celda.ctype))
    valor = bool(celda.value) if tipo == "b" else celda.value
    xf = libro.xf_list[celda.xf_index]
    fuente = libro.font_list[xf.font_index]
    return {"v": valor, "t": tipo, "xf": celda.xf_index, "bold": bool(fuente.bold),
            "size": fuente.height / 20.0, "fmt": libro.format_map[xf.format_key].format_str}


def pagina(ruta):
    """The sheet's WSBOOL, HEADER, FOOTER and SETUP records, read from the stream itself."""
    ole = olefile.OleFileIO(ruta)
    flujo = ole.openstream("Workbook").read()
    ole.close()
    registros, p, bofs = {}, 0, 0
    while p + 4 <= len(flujo):
        rid, n = struct.unpack_from("<HH", flujo, p)
        bofs += rid == BOF
        if bofs == 2 and rid in (0x0081, 0x0014, 0x0015, 0x00A1):
            registros[rid] = flujo[p + 4:p + 4 + n]
        p += 4 + n

    def texto(cuerpo):
        if not cuerpo:
            return ""
        n, ancho = struct.unpack_from("<HB", cuerpo, 0)
        crudo = cuerpo[3:3 + n * (2 if ancho & 1 else 1)]
        return crudo.decode("utf-16-le" if ancho & 1 else "latin-1")

    encaje = bool(struct.unpack_from("<H", registros.get(0x0081, b"\0\0"), 0)[0] & 0x0100)
    setup = registros.get(0x00A1, bytes(34))
    _, _, _, ancho, alto, opciones = struct.unpack_from("<6H", setup, 0)
    centro = lambda t: t[2:] if t.startswith("&C") else t
    return {"landscape": not opciones & 0x0002 and not opciones & 0x0004,
            "fit_width": ancho if encaje else 0, "fit_height": alto if encaje else 0,
            "header": centro(texto(registros.get(0x0014))),
            "footer": centro(texto(registros.get(0x0015)))}


def disposicion(ruta, libro, hoja):
    fijas = ""
    if hoja.panes_are_frozen:
        fijas = nombre_celda(hoja.horz_split_pos, hoja.vert_split_pos)
    titulos = ""
    for nombre in libro.name_obj_list:
        if nombre.builtin and nombre.name == "Print_Titles":
            _, fila1, fila2, _, _ = nombre.area2d()
            titulos = "%d:%d" % (fila1 + 1, fila2)
    return {"freeze": fijas, "print_titles": titulos, **pagina(ruta)}


def leer(ruta, resumen):
    registro = io.StringIO()
    libro = xlrd.open_workbook(ruta, formatting_info=True, verbosity=1, logfile=registro)
    hoja = libro.sheet_by_index(0)
    celdas = {}
    vacias = {}
    cuenta = 0
    llenas = []
    for fila in range(hoja.nrows):
        for col in range(hoja.row_len(fila)):
            if hoja.cell_type(fila, col) == xlrd.XL_CELL_BLANK and not resumen:
                vacias[nombre_celda(fila, col)] = describir(libro, hoja, fila, col)
            if hoja.cell_type(fila, col) in (xlrd.XL_CELL_EMPTY, xlrd.XL_CELL_BLANK):
                continue
            cuenta += 1
            if not resumen:
                celdas[nombre_celda(fila, col)] = describir(libro, hoja, fila, col)
            elif not llenas or llenas[-1] != fila:
                llenas.append(fila)
    if resumen:
        for fila in {llenas[0], llenas[-1]} if llenas else ():
            for col in range(hoja.row_len(fila)):
                if hoja.cell_type(fila, col) not in (xlrd.XL_CELL_EMPTY, xlrd.XL_CELL_BLANK):
                    celdas[nombre_celda(fila, col)] = describir(libro, hoja, fila, col)
    anchos = {letras(c): info.width for c, info in hoja.colinfo_map.items()}
    return {"cells": celdas, "blanks": vacias, "widths": anchos, "nrows": hoja.nrows, "ncols": hoja.ncols,
            "cell_count": cuenta, "sheet_name": hoja.name, "log": quejas(registro.getvalue()),
            "layout": disposicion(ruta, libro, hoja)}


def quejas(registro):
    """xlrd's complaints among its verbosity-1 chatter (codepage, datemode, colours...)."""
    marcas = ("***", "NOTE", "WARNING", "should be", "rror", "nvalid")
    return "\n".join(l for l in registro.splitlines() if any(m in l for m in marcas))


SST, CONTINUE, EXTSST, BOF, EOF = 0x00FC, 0x003C, 0x00FF, 0x0809, 0x000A
CELDAS = {0x0203: "NUMBER", 0x00FD: "LABELSST", 0x0205: "BOOLERR", 0x027E: "RK",
          0x0201: "BLANK", 0x0204: "LABEL", 0x00BD: "MULRK"}


def leer_sst(registros, problemas):
    """Parses SST + CONTINUE bodies [(stream offset, body)] by the splitting rules; returns the
    strings, their header positions (stream offset, offset within record) and cstTotal."""
    total, unicos = struct.unpack_from("<II", registros[0][1], 0)
    textos, cabeceras = [], []
    r, p = 0, 8
    for i in range(unicos):
        if p >= len(registros[r][1]):
            r, p = r + 1, 0
            if r >= len(registros):
                problemas.append("SST: faltan %d textos" % (unicos - i))
                return textos, cabeceras, total
        cuerpo = registros[r][1]
        if p + 3 > len(cuerpo):
            problemas.append("SST: la cabecera del texto %d queda partida" % i)
            return textos, cabeceras, total
        cabeceras.append((registros[r][0] + 4 + p, 4 + p))
        cch, opciones = struct.unpack_from("<HB", cuerpo, p)
        if opciones & ~1:
            problemas.append("SST: opciones 0x%02x en el texto %d" % (opciones, i))
        p += 3
        ancho = 2 if opciones & 1 else 1
        partes = []
        falta = cch
        while falta:
            if p >= len(cuerpo):
                r, p = r + 1, 0
                if r >= len(registros):
                    problemas.append("SST: el texto %d se corta" % i)
                    return textos, cabeceras, total
                cuerpo = registros[r][1]
                ancho = 2 if cuerpo[0] & 1 else 1
                p = 1
            n = min(falta, (len(cuerpo) - p) // ancho)
            if n == 0:
                problemas.append("SST: carácter partido en el texto %d" % i)
                return textos, cabeceras, total
            trozo = cuerpo[p:p + n * ancho]
            partes.append(trozo.decode("utf-16-le" if ancho == 2 else "latin-1"))
            p += n * ancho
            falta -= n
        textos.append("".join(partes))
    if r != len(registros) - 1 or p != len(registros[r][1]):
        problemas.append("SST: sobran bytes tras el último texto")
    return textos, cabeceras, total


def estructura(ruta):
    problemas = []
    with open(ruta, "rb") as f:
        cabecera = f.read(512)
        f.seek(0, 2)
        largo = f.tell()
    if largo % 512:
        problemas.append("largo del archivo %d no es de sectores enteros" % largo)
    fat, = struct.unpack_from("<I", cabecera, 0x2C)
    difat, = struct.unpack_from("<I", cabecera, 0x48)
    ole = olefile.OleFileIO(ruta, raise_defects=olefile.DEFECT_INCORRECT)
    flujo = ole.openstream("Workbook").read()
    declarado = ole.get_size("Workbook")
    ole.close()

    def subflujo(inicio, tipo):
        """Records from the BOF at `inicio` to its EOF: [(offset, id, body)]."""
        salida = []
        p = inicio
        while True:
            if p + 4 > len(flujo):
                problemas.append("subflujo 0x%x sin EOF" % tipo)
                return salida, p
            rid, n = struct.unpack_from("<HH", flujo, p)
            cuerpo = flujo[p + 4:p + 4 + n]
            if not salida and (rid != BOF or struct.unpack_from("<H", cuerpo, 2)[0] != tipo):
                problemas.append("no hay BOF de tipo 0x%x en %d" % (tipo, p))
                return salida, p
            salida.append((p, rid, cuerpo))
            p += 4 + n
            if rid == EOF:
                return salida, p

    globales, fin = subflujo(0, 0x0005)
    desplazamientos = []
    tallas = {}
    anterior = None
    for p, rid, cuerpo in globales:
        tallas[rid] = tallas.get(rid, 0) + 1
        if len(cuerpo) > 8224:
            problemas.append("registro 0x%04x de %d bytes en %d" % (rid, len(cuerpo), p))
        if rid == CONTINUE and anterior not in (SST, CONTINUE):
            problemas.append("CONTINUE tras 0x%04x en %d" % (anterior, p))
        if rid == 0x0085:
            desplazamientos.append(struct.unpack_from("<I", cuerpo, 0)[0])
        anterior = rid
    if len(desplazamientos) != 1:
        problemas.append("%d BOUNDSHEET" % len(desplazamientos))
        return {"problems": problemas}
    if desplazamientos[0] != fin:
        problemas.append("BOUNDSHEET apunta a %d; el BOF de la hoja está en %d"
                         % (desplazamientos[0], fin))
    hoja, fin_hoja = subflujo(desplazamientos[0], 0x0010)
    if any(flujo[fin_hoja:]):
        problemas.append("bytes no nulos tras el EOF de la hoja")
    if len(flujo) < 4096 or declarado != len(flujo):
        problemas.append("flujo de %d bytes (declarado %d)" % (len(flujo), declarado))

    # Fonts and XFs: no XF uses font 4, or a font that does not exist.
    fuentes = tallas.get(0x0031, 0)
    xfs = [c for _, rid, c in globales if rid == 0x00E0]
    for i, c in enumerate(xfs):
        fuente = struct.unpack_from("<H", c, 0)[0]
        if fuente == 4 or fuente > fuentes:
            problemas.append("XF %d usa la fuente %d" % (i, fuente))
    if len(xfs) < 16:
        problemas.append("solo %d XF" % len(xfs))

    # SST and EXTSST.
    sst = []
    for i, (p, rid, c) in enumerate(globales):
        if rid == SST:
            sst = [(p, c)]
            for q, rid2, c2 in globales[i + 1:]:
                if rid2 != CONTINUE:
                    break
                sst.append((q, c2))
    textos, cabeceras, total = leer_sst(sst, problemas) if sst else ([], [], 0)
    for _, rid, c in globales:
        if rid == EXTSST:
            dsst = struct.unpack_from("<H", c, 0)[0]
            entradas = (len(c) - 2) // 8
            esperadas = (len(textos) + dsst - 1) // dsst if dsst else -1
            if entradas != esperadas:
                problemas.append("EXTSST con %d entradas, se esperaban %d" % (entradas, esperadas))
            for k in range(min(entradas, esperadas)):
                pos, enreg = struct.unpack_from("<IH", c, 2 + 8 * k)
                if (pos, enreg) != cabeceras[k * dsst]:
                    problemas.append("EXTSST %d apunta a %s, el texto está en %s"
                                     % (k, (pos, enreg), cabeceras[k * dsst]))

    # Sheet records: sizes, cells, DIMENSIONS.
    dimensiones = None
    filas, cols = [], []
    etiquetas = 0
    for p, rid, c in hoja:
        tallas[rid] = tallas.get(rid, 0) + 1
        if len(c) > 8224:
            problemas.append("registro 0x%04x de %d bytes en %d" % (rid, len(c), p))
        if rid == CONTINUE:
            problemas.append("CONTINUE en la hoja en %d" % p)
        if rid == 0x0200:
            dimensiones = struct.unpack_from("<IIHH", c, 0)
        if rid in CELDAS:
            fila, col, xf = struct.unpack_from("<HHH", c, 0)
            filas.append(fila)
            cols.append(col)
            if xf < 15 or xf >= len(xfs):
                problemas.append("celda %s con XF %d" % (nombre_celda(fila, col), xf))
            if rid == 0x00FD:
                etiquetas += 1
                if struct.unpack_from("<I", c, 6)[0] >= len(textos):
                    problemas.append("LABELSST %s fuera de la SST" % nombre_celda(fila, col))
    esperado = (min(filas), max(filas) + 1, min(cols), max(cols) + 1) if filas else (0, 0, 0, 0)
    if dimensiones != esperado:
        problemas.append("DIMENSIONS %s; las celdas ocupan %s" % (dimensiones, esperado))
    if sst and total != etiquetas:
        problemas.append("SST cuenta %d referencias; hay %d LABELSST" % (total, etiquetas))
    if len(set(textos)) != len(textos):
        problemas.append("textos repetidos en la SST")
    return {"problems": problemas, "difat_sectors": difat, "fat_sectors": fat,
            "file_size": largo, "stream_size": len(flujo), "sst_strings": len(textos),
            "continue_records": tallas.get(CONTINUE, 0), "row_records": tallas.get(0x0208, 0)}


def leer_csv(ruta):
    celdas = {}
    with open(ruta, newline="", encoding="utf-8") as f:
        for fila, valores in enumerate(csv.reader(f)):
            for col, valor in enumerate(valores):
                if valor != "":
                    celdas[nombre_celda(fila, col)] = valor
    return {"cells": celdas}


def main(argv):
    if len(argv) == 2:
        datos = leer(argv[1], False)
    elif len(argv) == 3 and argv[1] == "--resumen":
        datos = leer(argv[2], True)
    elif len(argv) == 3 and argv[1] == "--estructura":
        datos = estructura(argv[2])
    elif len(argv) == 3 and argv[1] == "--csv":
        datos = leer_csv(argv[2])
    else:
        sys.stderr.write("uso: leer_xls.py [--resumen | --estructura | --csv] ARCHIVO\n")
        return 2
    json.dump(datos, sys.stdout, ensure_ascii=False)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
