#include "report/MezclaEmpresas.h"

#include "report/FusionEmpresa.h"

MezclaEmpresas::MezclaEmpresas(QList<ProductosEmpresa*> empresas)
    : empresas_(std::move(empresas)), cabezas_(static_cast<size_t>(empresas_.size())) {
    for (int i = 0; i < empresas_.size(); ++i) avanzar(i);
}

bool MezclaEmpresas::avanzar(int i) {
    Cabeza& cabeza = cabezas_[size_t(i)];
    ProductosEmpresa* empresa = empresas_[i];
    cabeza.hay = empresa && empresa->siguiente(cabeza.producto);
    if (!cabeza.hay && empresa && error_.isEmpty()) error_ = empresa->error();
    return cabeza.hay;
}

int MezclaEmpresas::menor() const {
    int elegida = -1;
    for (int i = 0; i < int(cabezas_.size()); ++i)
        if (cabezas_[size_t(i)].hay && (elegida < 0 || cabezas_[size_t(i)].producto.peso <
                                                           cabezas_[size_t(elegida)].producto.peso))
            elegida = i;
    return elegida;
}

bool MezclaEmpresas::siguiente(QVariantList& fila) {
    if (!error_.isEmpty()) return false;
    const int primera = menor();
    if (primera < 0) return false;
    const QByteArray peso = cabezas_[size_t(primera)].producto.peso;
    fila.clear();
    fila.reserve(2 + 2 * cabezas_.size() + 1);
    fila << cabezas_[size_t(primera)].producto.clave << cabezas_[size_t(primera)].producto.descrip;
    for (int i = 0; i < int(cabezas_.size()); ++i) {
        QVariant costo = 0.0, precio = 0.0;
        // The company's last product of this code gives its pair.
        while (cabezas_[size_t(i)].hay && cabezas_[size_t(i)].producto.peso == peso) {
            costo = cabezas_[size_t(i)].producto.costo;
            precio = cabezas_[size_t(i)].producto.precio;
            if (!avanzar(i) && !error_.isEmpty()) return false;
        }
        fila << costo << precio;
    }
    fila << avisoDeFusion(primera + 1);
    return true;
}
