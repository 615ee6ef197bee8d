#pragma once
#include <QList>
#include <QString>
#include <QTemporaryDir>
#include <QVariant>
#include <memory>
#include <optional>

#include "DialogosGuion.h"
#include "programa/Arranque.h"
#include "programa/Contexto.h"

// A host of its own for one test: a general database with `empresas` and `configuracion`, company
// databases with `productos`, an installation folder with talmira.ini and its key, and a program
// folder whose settings file points at that installation. Everything gets unique names on the
// private server and is dropped when the object goes.
struct ProductoPrueba {
    QString clave;
    QVariant descrip;
    QVariant costo;
    QVariantList precios;  // Precio1, Precio2, ...
};

struct EmpresaPrueba {
    int id = 1;
    QString nombre;
    QList<ProductoPrueba> productos;
    int niveles = 4;
    QString juegoCaracteres = QStringLiteral("utf8mb4");
    bool crearBase = true;  // false: the row names a database that does not exist
    QString baseDeDatos;    // "" gives <general>_e<id>
};

class AnfitrionPrueba {
public:
    AnfitrionPrueba();
    // The host connection as `usuario` (stored enciphered in talmira.ini), not the default one.
    AnfitrionPrueba(const QString& usuario, const QString& contrasena);
    ~AnfitrionPrueba();

    bool valido() const { return error_.isEmpty(); }
    QString error() const { return error_; }

    // Creates the general database with `niveles` price levels in its configuracion.
    bool crearGeneral(int niveles = 4);
    // Creates a company's database (unless crearBase is false) and its `empresas` row. Returns
    // the database name.
    QString crearEmpresa(const EmpresaPrueba& empresa);
    bool sql(const QString& sentencia);
    // Stored forms as the host keeps them, sealed for their place: a setting of talmira.ini, or a
    // field (selector 1 to 4) of company `id`'s row, whose server is bound to the row's `puerto`.
    QString cifrarAjuste(const QString& clave, const QString& texto) const;
    QString cifrarCampo(int id, int selector, const QString& texto, int puerto = 0) const;

    QString general() const { return general_; }
    QString carpetaInstalacion() const;
    QString carpetaPrograma() const;
    QString ejecutable() const;  // <program folder>/varelmo (a name only: nothing is copied)
    QString archivoIni() const;

    // Writes the program's settings file with the installation and the general database as
    // "Base de datos a usar", plus `extra` lines of [Configuración].
    bool escribirIni(const QStringList& extra = {});
    // A fresh context, ArrancarPrograma on ejecutable() and CargarDatosIniciales; nullopt with
    // the reason.
    std::optional<DatosIniciales> arrancar(QString* error = nullptr);
    // The context of the last arrancar (an empty one before): places, host, sessions.
    Contexto& contexto() { return *contexto_; }

private:
    QTemporaryDir carpeta_;
    QString general_;
    QStringList bases_;
    QString error_;
    std::unique_ptr<Contexto> contexto_ = contextoDePrueba();
};
