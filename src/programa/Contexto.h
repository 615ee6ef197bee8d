#pragma once
#include <QList>
#include <QString>
#include <memory>

#include "anfitrion/Instalacion.h"
#include "basedatos/BasesDD.h"
#include "dialogos/Dialogos.h"
#include "programa/LugaresPrograma.h"

// What one run of the program works with. Start-up builds it (ArrancarPrograma) and hands it to
// the main window or to the headless run, which pass on what each step needs; it lives until the
// program ends, and nothing else in the program keeps state of its own.
struct Contexto {
    // Where the run's messages go: the terminal until the window program puts its boxes here.
    std::shared_ptr<Dialogos> dialogos = std::make_shared<DialogosConsola>();
    LugaresPrograma lugares;  // the settings file, the description file, the workbooks' folder
    QString archivoPrograma;  // the executable's file name, without folder
    QString nombrePrograma;   // the same without extension: the default workbook's name

    Instalacion instalacion;     // the host installation: talmira.ini and its key
    BasesDD basesDD;             // the host server's settings
    Conexion ConexionPrincipal;  // host database: empresas and the working table
    Conexion ConexionEmpresa;    // the database of "Base de datos a usar", then of each company

    QString AplicativoExcel;  // "Aplicativo de Excel" and "Formato para precios" of the settings
    QString FormatoPrecios;
    QList<int> listaSeleccion;  // Ids of the companies of the last confirmed report, in grid order

    // The names derived from the executable's path, with every place beside it.
    void ponerEjecutable(const QString& rutaEjecutable);
};
