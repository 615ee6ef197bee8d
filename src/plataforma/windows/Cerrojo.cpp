#include "plataforma/Cerrojo.h"

#include <aclapi.h>

#include <cerrno>

#include "plataforma/windows/Sistema.h"

using namespace sistema;

namespace {
HANDLE comoHandle(long long archivo) { return reinterpret_cast<HANDLE>(intptr_t(archivo)); }
}  // namespace

CerrojoDeProceso::~CerrojoDeProceso() { soltar(); }

// The file is opened sharing neither reading nor writing: while this handle lives no other open
// that reads or writes it succeeds, and the system closes the handle with the process however it
// ends. Its removal is shared, as a POSIX file under lock may be unlinked: the owner of the working
// folder removes the folder, this file in it, before it lets the lock go.
bool CerrojoDeProceso::tomar(const QString& ruta, int* error) {
    soltar();
    Descriptor soloDueno(SoloDueno);
    const HANDLE h = CreateFileW(rutaNativa(ruta).c_str(), GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_DELETE, soloDueno.atributos(), CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        *error = errnoDelSistema();
        return false;
    }
    archivo_ = static_cast<long long>(reinterpret_cast<intptr_t>(h));
    return true;
}

void CerrojoDeProceso::soltar() {
    if (archivo_ >= 0) CloseHandle(comoHandle(archivo_));
    archivo_ = -1;
}

CerrojoDeProceso::Estado CerrojoDeProceso::estado(const QString& ruta) {
    const HANDLE h = CreateFileW(rutaNativa(ruta).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        CloseHandle(h);
        return Estado::Libre;
    }
    const DWORD error = GetLastError();
    // Anything but a missing file (a sharing violation above all) counts as held, as the safe
    // answer: a working folder in use is never taken for one a dead run left.
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? Estado::Ausente
                                                                          : Estado::Tomado;
}

std::optional<long long> CambioDeCarpetaPropia(const QString& ruta) {
    const std::wstring nombre = rutaNativa(ruta);
    WIN32_FILE_ATTRIBUTE_DATA datos{};
    if (!GetFileAttributesExW(nombre.c_str(), GetFileExInfoStandard, &datos) ||
        !(datos.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
        (datos.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return std::nullopt;
    PSID dueno = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(nombre.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &dueno,
                              nullptr, nullptr, nullptr, &descriptor) != ERROR_SUCCESS)
        return std::nullopt;
    const bool propia = esDeEsteUsuario(dueno);
    LocalFree(descriptor);
    if (!propia) return std::nullopt;
    const qint64 ticks = qint64(quint64{datos.ftLastWriteTime.dwHighDateTime} << 32 |
                                datos.ftLastWriteTime.dwLowDateTime);
    return (ticks - 116444736000000000LL) / 10000000LL;  // 100 ns ticks since 1601
}
