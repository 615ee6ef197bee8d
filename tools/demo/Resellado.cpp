#include "demo/Resellado.h"

#include <QList>
#include <QVariant>
#include <iterator>
#include <optional>

#include "anfitrion/ArchivoIni.h"
#include "anfitrion/Cifrado.h"
#include "anfitrion/Instalacion.h"
#include "basedatos/BasesDD.h"

namespace resellado {

namespace {

// A company's enciphered fields, with their selectors.
struct Campo {
    const char* nombre;
    int selector;
};
constexpr Campo Campos[] = {{"Servidor", 1}, {"BaseDeDatos2", 2}, {"Usuario", 3}, {"Conexion", 4}};
constexpr int NumCampos = static_cast<int>(std::size(Campos));

// A company row as it was read.
struct Fila {
    QVariant id, puerto;
    QString valores[NumCampos];
};

// `guardado` sealed again for `lugar` when it is of the earlier form; nullopt when it is to be
// left as it is: blank, of the current form, or opening in neither (then named as `donde`).
std::optional<QString> sellarDeNuevo(const Cifrado& cifrado, const QString& guardado, int selector,
                                     const QString& lugar, const QString& donde, Cuenta& cuenta) {
    const QString valor = guardado.trimmed();
    if (valor.isEmpty() || !Cifrado::formaAnterior(valor)) return std::nullopt;
    const std::optional<QString> plano = cifrado.descifrarAnterior(valor, selector);
    if (!plano) {
        cuenta.sinAbrir << donde;
        return std::nullopt;
    }
    return cifrado.cifrar(*plano, selector, lugar);
}

bool leerFilas(BasesDD& bases, Conexion& c, QList<Fila>& filas, QString* error) {
    Recordset rs;
    if (!bases.AbrirTabla(rs, c, QStringLiteral("empresas"),
                          QStringLiteral("Id,Servidor,BaseDeDatos2,Usuario,Conexion,Puerto"))) {
        *error = bases.ultimoError();
        return error->isEmpty();  // a table without rows has nothing to seal
    }
    for (; !rs.alFinal(); rs.siguiente()) {
        Fila fila{rs.campo(QStringLiteral("Id")), rs.campo(QStringLiteral("Puerto")), {}};
        for (int i = 0; i < NumCampos; ++i)
            fila.valores[i] = rs.campo(QString::fromLatin1(Campos[i].nombre)).toString();
        filas << fila;
    }
    bases.CierraTabla(rs);
    return true;
}

// True when row `id` holds every value of `nuevos` (column, value): the update reached it.
bool tiene(Conexion& c, const QVariant& id, const QList<std::pair<QString, QString>>& nuevos,
           bool* hallada, QString* error) {
    QString sql = QStringLiteral("SELECT 1 FROM `empresas` WHERE `Id` = ?");
    QVariantList valores{id};
    for (const auto& [columna, valor] : nuevos) {
        sql += QStringLiteral(" AND BINARY `%1` = ?").arg(columna);
        valores << valor;
    }
    Recordset rs;
    if (!rs.abrir(c, sql, valores)) {
        *error = rs.ultimoError();
        return false;
    }
    *hallada = !rs.alFinal();
    return true;
}

// The update of one row: the values sealed again, and what the row must still hold for it.
struct Cambio {
    QList<std::pair<QString, QString>> nuevos;  // column, value
    QStringList condiciones;
    QVariantList valoresCondiciones;
};

// The fields of `fila` to seal again. Each is updated only where it still holds the value read,
// and the server only while the row keeps the port it is bound to.
Cambio cambioDe(const Cifrado& cifrado, const Fila& fila, Cuenta& cuenta) {
    const int id = fila.id.toInt();
    Cambio cambio{{}, {QStringLiteral("`Id` = ?")}, {fila.id}};
    for (int i = 0; i < NumCampos; ++i) {
        const QString columna = QString::fromLatin1(Campos[i].nombre);
        const int selector = Campos[i].selector;
        const std::optional<QString> nuevo =
            sellarDeNuevo(cifrado, fila.valores[i], selector,
                          Cifrado::lugarEmpresa(id, selector, fila.puerto.toInt()),
                          QStringLiteral("empresa %1, %2").arg(id).arg(columna), cuenta);
        if (!nuevo) continue;
        cambio.nuevos << std::pair{columna, *nuevo};
        cambio.condiciones << QStringLiteral("BINARY `%1` = ?").arg(columna);
        cambio.valoresCondiciones << fila.valores[i];
        if (selector == 1) {
            cambio.condiciones << QStringLiteral("`Puerto` <=> ?");
            cambio.valoresCondiciones << fila.puerto;
        }
    }
    return cambio;
}

// Makes the update of row `id` in one statement; a row that no longer held what was read is
// left as it is and named.
bool aplicar(Conexion& c, const QVariant& id, const Cambio& cambio, Cuenta& cuenta,
             QString* error) {
    QStringList asignaciones;
    QVariantList valores;
    for (const auto& [columna, valor] : cambio.nuevos) {
        asignaciones << QStringLiteral("`%1` = ?").arg(columna);
        valores << valor;
    }
    const QString sql = QStringLiteral("UPDATE `empresas` SET %1 WHERE %2")
                            .arg(asignaciones.join(QStringLiteral(", ")),
                                 cambio.condiciones.join(QStringLiteral(" AND ")));
    bool hallada = false;
    if (!c.ejecutar(sql, valores + cambio.valoresCondiciones, error) ||
        !tiene(c, id, cambio.nuevos, &hallada, error))
        return false;
    if (!hallada) {
        cuenta.cambiadas << id.toString();
        return true;
    }
    cuenta.campos += static_cast<int>(cambio.nuevos.size());
    ++cuenta.empresas;
    return true;
}

}  // namespace

bool ajustes(const Cifrado& cifrado, const QString& archivo, Cuenta& cuenta, QString* error) {
    QList<std::pair<QString, QString>> nuevos;
    for (const QString& clave : {QStringLiteral("MySQLUsuario"), QStringLiteral("MySQLPassword")}) {
        const std::optional<QString> nuevo =
            sellarDeNuevo(cifrado, ArchivoIni::leer(archivo, Instalacion::seccionAjustes(), clave),
                          0, Cifrado::lugarAjuste(clave), clave, cuenta);
        if (nuevo) nuevos << std::pair{clave, *nuevo};
    }
    if (nuevos.isEmpty()) return true;
    if (!ArchivoIni::escribirVarias(archivo, Instalacion::seccionAjustes(), nuevos, error,
                                    ArchivoIni::Acceso::SoloDueno))
        return false;
    cuenta.ajustes += static_cast<int>(nuevos.size());
    return true;
}

bool empresas(const Cifrado& cifrado, BasesDD& bases, Conexion& conexion, Cuenta& cuenta,
              QString* error) {
    QList<Fila> filas;
    if (!leerFilas(bases, conexion, filas, error)) return false;
    for (const Fila& fila : std::as_const(filas)) {
        const Cambio cambio = cambioDe(cifrado, fila, cuenta);
        if (!cambio.nuevos.isEmpty() && !aplicar(conexion, fila.id, cambio, cuenta, error))
            return false;
    }
    return true;
}

}  // namespace resellado
