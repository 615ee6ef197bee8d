#pragma once
#include <QString>
#include <optional>

// A lock that the system frees with the process that holds it, however that process ends (a
// signal, a power cut), also on a folder shared over the network: it tells a working folder in
// use from one a dead run left behind.
class CerrojoDeProceso {
public:
    CerrojoDeProceso() = default;
    ~CerrojoDeProceso();
    CerrojoDeProceso(const CerrojoDeProceso&) = delete;
    CerrojoDeProceso& operator=(const CerrojoDeProceso&) = delete;

    // Creates the file `ruta`, which must not exist (for this user only, never through a link),
    // and takes its lock. False with the errno of the failure.
    bool tomar(const QString& ruta, int* error);
    bool tomado() const { return archivo_ >= 0; }
    // Frees the lock and closes the file (the file itself stays).
    void soltar();

    enum class Estado { Tomado, Libre, Ausente };
    // Whether some living process holds the lock of the file `ruta`.
    static Estado estado(const QString& ruta);

private:
    long long archivo_ = -1;
};

// The last change of the folder `ruta`, in seconds since the epoch, when it is a folder of this
// user's (not a link); nothing otherwise.
std::optional<long long> CambioDeCarpetaPropia(const QString& ruta);
