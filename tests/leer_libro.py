#!/usr/bin/python3
"""Reads a workbook with openpyxl and prints one of its sheets as JSON, for the tests.

    leer_libro.py [--hoja N] FILE every non-empty cell of sheet N (0, the first, by default) with its
                                  value, type, font and number format; the empty cells that carry a
                                  font or number format ("blanks"); the column widths, max_row,
                                  max_col, the workbook's number of sheets
                                  and how the sheet shows and prints ("layout")
    leer_libro.py --csv FILE      a CSV file as a Spanish spreadsheet opens it (UTF-8 with a byte-order
                                  mark, ";" between fields): its cells, numbers typed as numbers
    leer_libro.py --resumen FILE  read-only streaming pass for big sheets: max_row, max_col, the number
                                  of rows holding a value ("rows"), of non-empty cells ("cell_count"),
                                  and the cells of the first and the last row holding a value

Widths are the stored ones: a writer keeps the character width plus its padding (15 becomes
15.7109375), so compare against that stored width, not the width asked for.
"""
import codecs
import csv
import io
import json
import math
import sys

from openpyxl import load_workbook
from openpyxl.utils import get_column_letter


def tipo(celda):
    return {"n": "n", "s": "s", "b": "b", "inlineStr": "s"}.get(celda.data_type, celda.data_type)


def describir(celda):
    valor = celda.value
    if isinstance(valor, bool):
        pass
    elif hasattr(valor, "isoformat"):
        valor = valor.isoformat()
    elif isinstance(valor, float) and not math.isfinite(valor):
        valor = str(valor)  # "inf", "-inf": a number stored past the range of a double
    return {
        "v": valor,
        "t": tipo(celda),
        "bold": bool(celda.font.b),
        "size": float(celda.font.sz) if celda.font.sz is not None else None,
        "fmt": celda.number_format,
    }


def disposicion(hoja):
    """Frozen panes, print titles, orientation, fitting, and the centred header and footer."""
    ajuste = hoja.sheet_properties.pageSetUpPr
    encaje = bool(ajuste and ajuste.fitToPage)
    alto = hoja.page_setup.fitToHeight
    return {"freeze": hoja.freeze_panes or "",
            "print_titles": (hoja.print_title_rows or "").replace("$", ""),
            "landscape": hoja.page_setup.orientation == "landscape",
            "fit_width": int(hoja.page_setup.fitToWidth or 1) if encaje else 0,
            "fit_height": int(1 if alto is None else alto) if encaje else 0,
            "header": hoja.oddHeader.center.text or "",
            "footer": hoja.oddFooter.center.text or ""}


def leer_csv(ruta):
    with open(ruta, "rb") as f:
        datos = f.read()
    if not datos.startswith(codecs.BOM_UTF8):
        raise SystemExit("el CSV no empieza con la marca de orden de bytes de UTF-8")
    filas = list(csv.reader(io.StringIO(datos.decode("utf-8-sig"), newline=""), delimiter=";"))
    celdas = {}
    max_col = 0
    for fila, valores in enumerate(filas, 1):
        for col, valor in enumerate(valores, 1):
            if valor == "":
                continue
            max_col = max(max_col, col)
            try:
                v, t = float(valor), "n"
            except ValueError:
                v, t = valor, "s"
            # As a spreadsheet opens it: a leading apostrophe says "text", and any other text
            # that starts like a formula would be run as one.
            if t == "s" and valor[0] == "'":
                v = valor[1:]
            elif t == "s" and valor[0] in "=+-@":
                raise SystemExit("el CSV tiene una fórmula en %s%d: %r"
                                 % (get_column_letter(col), fila, valor))
            celdas[get_column_letter(col) + str(fila)] = {"v": v, "t": t, "bold": False,
                                                          "size": None, "fmt": "General"}
    return {"cells": celdas, "blanks": {}, "widths": {}, "max_row": len(filas),
            "max_col": max_col, "sheets": 1}


def completo(ruta, numero=0):
    libro = load_workbook(ruta)
    hoja = libro.worksheets[numero]
    celdas = {}
    vacias = {}
    for fila in hoja.iter_rows():
        for celda in fila:
            if celda.value is not None and celda.value != "":
                celdas[celda.coordinate] = describir(celda)
            elif celda.has_style and (celda.font.b or celda.number_format != "General"
                                      or (celda.font.sz is not None and float(celda.font.sz) != 11.0)):
                vacias[celda.coordinate] = describir(celda)
    anchos = {}
    for dimension in hoja.column_dimensions.values():
        if dimension.customWidth and dimension.width is not None:
            for col in range(dimension.min or 1, (dimension.max or dimension.min or 1) + 1):
                anchos[get_column_letter(col)] = dimension.width
    return {"cells": celdas, "blanks": vacias, "widths": anchos, "max_row": hoja.max_row,
            "max_col": hoja.max_column, "sheets": len(libro.worksheets), "sheet_name": hoja.title,
            "layout": disposicion(hoja)}


def resumen(ruta):
    libro = load_workbook(ruta, read_only=True)
    hoja = libro.worksheets[0]
    filas = 0
    cuenta = 0
    primera = None
    ultima = None
    for fila in hoja.iter_rows():
        llenas = {c.coordinate: describir(c) for c in fila
                  if getattr(c, "value", None) is not None and c.value != ""}
        if llenas:
            filas += 1
            cuenta += len(llenas)
            if primera is None:
                primera = llenas
            ultima = llenas
    datos = {"max_row": hoja.max_row, "max_col": hoja.max_column, "rows": filas,
             "cell_count": cuenta, "cells": {**(primera or {}), **(ultima or {})}, "widths": {}}
    libro.close()
    return datos


def main(argv):
    if len(argv) == 3 and argv[1] == "--resumen":
        datos = resumen(argv[2])
    elif len(argv) == 3 and argv[1] == "--csv":
        datos = leer_csv(argv[2])
    elif len(argv) == 4 and argv[1] == "--hoja":
        datos = completo(argv[3], int(argv[2]))
    elif len(argv) == 2:
        datos = completo(argv[1])
    else:
        sys.stderr.write("uso: leer_libro.py [--resumen | --csv | --hoja N] ARCHIVO\n")
        return 2
    json.dump(datos, sys.stdout, ensure_ascii=False)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
