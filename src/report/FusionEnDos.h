#pragma once
#include <QList>
#include <QString>
#include <QVariant>
#include <atomic>
#include <optional>
#include <thread>

class Conexion;

// The merge split in two parts of the codes, done at once by the server on two host connections:
// the program's own one merges the lower codes while a second one, on a thread of its own, merges
// the upper codes into the upper part of the copy (TablaIntermedia). Each part takes every company
// in list order, so each code meets the same products in the same order as in one pass; the rows
// are the same, in about half the time on a server with two processors or more.
//
// The parts are cut by the working table's own comparison of codes (its character set and
// collation, and its length, to which a longer code is cut): two codes it takes for one always
// fall in the same part, whatever the company's own collation.
struct ParteClaves {
    QString baja;   // condition on a company's `Clave`, with one "?" for `corte`: the lower part
    QString alta;   // the same for the upper part
    QVariant corte;
};

// The cut for the working table `tbltempproductos` of `principal`, at the middle code of company
// database `base` (or at `corte` when given); nullopt (and the merge goes in one pass) when the
// company has few products or the key is not a text the cut can be put to.
std::optional<ParteClaves> partirClaves(Conexion& principal, const QString& base,
                                        const std::optional<QString>& corte = std::nullopt);

// A company as the second connection merges it.
struct EmpresaParaMitad {
    int posicion = 1;
    int id = 0;
    QString base;
    QString orden;   // ordenProductos of the company
};

// The second connection, with the host connection's settings, merging the upper part on a thread
// of its own; it never touches the window or the first connection.
class MitadEnHilo {
public:
    struct Ajustes {
        QString servidor, usuario, password, base;
        int puerto = 3306;
    };
    MitadEnHilo(Ajustes ajustes, QList<EmpresaParaMitad> empresas, QString columnaPrecio, QString destino,
                ParteClaves parte);
    ~MitadEnHilo();   // waits for the thread
    MitadEnHilo(const MitadEnHilo&) = delete;
    MitadEnHilo& operator=(const MitadEnHilo&) = delete;

    void empezar();
    // True once the thread has finished; waits at most `ms` milliseconds for it.
    bool esperar(int ms);
    // After esperar: whether every company was merged, and the server's error when not.
    bool bien() const { return bien_; }
    QString error() const { return error_; }

private:
    void correr();
    Ajustes ajustes_;
    QList<EmpresaParaMitad> empresas_;
    QString columnaPrecio_, destino_;
    ParteClaves parte_;
    std::thread hilo_;
    std::atomic<bool> terminado_{false};
    bool bien_ = false;
    QString error_;
};
