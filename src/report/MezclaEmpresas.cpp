#include "report/MezclaEmpresas.h"

#include <algorithm>

#include "report/FusionEmpresa.h"

MezclaEmpresas::MezclaEmpresas(QList<ProductosEmpresa*> empresas)
    : empresas_(std::move(empresas)), hay_(static_cast<size_t>(empresas_.size()), false) {
    for (int i = 0; i < empresas_.size(); ++i) avanzar(i);
}

bool MezclaEmpresas::avanzar(int i) {
    ProductosEmpresa* empresa = empresas_[i];
    const bool hay = empresa && empresa->siguiente();
    hay_[size_t(i)] = hay;
    if (!hay && empresa && error_.isEmpty()) error_ = empresa->error();
    return hay;
}

int MezclaEmpresas::menor() const {
    int elegida = -1;
    for (int i = 0; i < empresas_.size(); ++i)
        if (hay_[size_t(i)] && (elegida < 0 || empresas_[i]->peso() < empresas_[elegida]->peso()))
            elegida = i;
    return elegida;
}

bool MezclaEmpresas::siguiente(QVariantList& fila) {
    if (!error_.isEmpty()) return false;
    const int primera = menor();
    if (primera < 0) return false;
    // The weight is kept: the companies' own bytes go as they move on.
    const QByteArrayView peso = empresas_[primera]->peso();
    peso_.resize(peso.size());
    std::copy(peso.begin(), peso.end(), peso_.begin());
    fila.clear();
    fila.reserve(2 + 2 * empresas_.size() + 1);
    fila << empresas_[primera]->clave() << empresas_[primera]->descrip();
    for (int i = 0; i < empresas_.size(); ++i) {
        QVariant costo = 0.0, precio = 0.0;
        // The company's last product of this code gives its pair.
        while (hay_[size_t(i)] && empresas_[i]->peso() == QByteArrayView(peso_)) {
            costo = empresas_[i]->costo();
            precio = empresas_[i]->precio();
            if (!avanzar(i) && !error_.isEmpty()) return false;
        }
        fila << costo << precio;
    }
    fila << avisoDeFusion(primera + 1);
    return true;
}
