#include "plataforma/ArchivoSecreto.h"

#include <aclapi.h>
#include <fcntl.h>
#include <io.h>
#include <sddl.h>

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <climits>

#include "plataforma/windows/Sistema.h"

using namespace sistema;

namespace {

// Writes the secret to the open file `h` and flushes it; false with GetLastError() set.
bool escribirSecreto(HANDLE h, const unsigned char* datos, std::size_t tamano) {
    while (tamano > 0) {
        DWORD escrito = 0;
        const DWORD parte = DWORD(std::min<std::size_t>(tamano, 1u << 30));
        if (!WriteFile(h, datos, parte, &escrito, nullptr)) return false;
        datos += escrito;
        tamano -= escrito;
    }
    return FlushFileBuffers(h) != 0;
}

// Creates a temporary file beside `ruta` for its owner alone; its path goes to `temporal`.
HANDLE crearTemporal(const QString& ruta, QString* temporal) {
    Descriptor soloDueno(SoloDueno);
    if (!soloDueno.valido()) return INVALID_HANDLE_VALUE;
    const QFileInfo info(ruta);
    for (int intento = 0; intento < 100; ++intento) {
        *temporal = info.dir().filePath(u'.' + info.fileName() + u'.' + SufijoAlAzar(8));
        const HANDLE h =
            CreateFileW(rutaNativa(*temporal).c_str(), GENERIC_WRITE, 0, soloDueno.atributos(),
                        CREATE_NEW, FILE_ATTRIBUTE_HIDDEN, nullptr);
        if (h != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return h;
    }
    SetLastError(ERROR_FILE_EXISTS);
    return INVALID_HANDLE_VALUE;
}

// The SID of the account `nombre` when it is a group (a domain group, a local one or a well-known
// one); empty otherwise.
std::vector<BYTE> sidDeGrupo(const QString& nombre) {
    const std::wstring cuenta = nombre.toStdWString();
    DWORD largoSid = 0, largoDominio = 0;
    SID_NAME_USE uso{};
    LookupAccountNameW(nullptr, cuenta.c_str(), nullptr, &largoSid, nullptr, &largoDominio, &uso);
    if (largoSid == 0) return {};
    std::vector<BYTE> sid(largoSid);
    std::wstring dominio(largoDominio, L'\0');
    if (!LookupAccountNameW(nullptr, cuenta.c_str(), sid.data(), &largoSid, dominio.data(),
                            &largoDominio, &uso))
        return {};
    const bool grupo = uso == SidTypeGroup || uso == SidTypeAlias || uso == SidTypeWellKnownGroup;
    return grupo ? sid : std::vector<BYTE>{};
}

// Opens `ruta` itself, never what a reparse point (a link, a junction) names: ELOOP for one.
HANDLE abrirSinSeguir(const QString& ruta, DWORD acceso, DWORD compartir, int* numero) {
    const HANDLE h = CreateFileW(rutaNativa(ruta).c_str(), acceso, compartir, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        *numero = errnoDelSistema();
        return h;
    }
    FILE_ATTRIBUTE_TAG_INFO etiqueta{};
    if (!GetFileInformationByHandleEx(h, FileAttributeTagInfo, &etiqueta, sizeof etiqueta) ||
        (etiqueta.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        *numero = ELOOP;
        CloseHandle(h);
        return INVALID_HANDLE_VALUE;
    }
    *numero = 0;
    return h;
}

}  // namespace

int CrearArchivoSecreto(const QString& ruta, const unsigned char* datos, std::size_t tamano) {
    // The secret is written to a private temporary name and then moved to its final name without
    // replacing: the final name never shows a partial secret, and one created meanwhile stands.
    QString temporal;
    const HANDLE h = crearTemporal(ruta, &temporal);
    if (h == INVALID_HANDLE_VALUE) return errnoDelSistema();
    DWORD error = escribirSecreto(h, datos, tamano) ? ERROR_SUCCESS : GetLastError();
    if (!CloseHandle(h) && error == ERROR_SUCCESS) error = GetLastError();
    if (error == ERROR_SUCCESS && !MoveFileExW(rutaNativa(temporal).c_str(),
                                               rutaNativa(ruta).c_str(), MOVEFILE_WRITE_THROUGH)) {
        error = GetLastError();
        if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) error = ERROR_SUCCESS;
    }
    DeleteFileW(rutaNativa(temporal).c_str());  // gone already once moved
    return errnoDe(error);
}

bool ExisteGrupo(const QString& grupo) { return !sidDeGrupo(grupo).empty(); }

int CompartirConGrupo(const QString& ruta, const QString& grupo) {
    std::vector<BYTE> sid = sidDeGrupo(grupo);
    if (sid.empty()) return ENOENT;
    wchar_t* textoSid = nullptr;
    if (!ConvertSidToStringSidW(sid.data(), &textoSid)) return errnoDelSistema();
    // Its owner, SYSTEM and the Administrators keep full control; the group may read it.
    const std::wstring sddl = std::wstring(SoloDueno) + L"(A;;FR;;;" + textoSid + L")";
    LocalFree(textoSid);
    Descriptor compartido(sddl.c_str());
    if (!compartido.valido()) return errnoDelSistema();
    int numero = 0;
    const HANDLE h = abrirSinSeguir(ruta, READ_CONTROL | WRITE_DAC, FILE_SHARE_READ, &numero);
    if (h == INVALID_HANDLE_VALUE) return numero;
    const DWORD error = SetSecurityInfo(
        h, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
        nullptr, compartido.dacl(), nullptr);
    CloseHandle(h);
    return errnoDe(error);
}

std::optional<qint64> TamanoSinSeguirEnlaces(const QString& ruta) {
    WIN32_FILE_ATTRIBUTE_DATA datos{};
    if (!GetFileAttributesExW(rutaNativa(ruta).c_str(), GetFileExInfoStandard, &datos))
        return std::nullopt;
    if (datos.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY))
        return qint64{-1};
    return qint64(quint64{datos.nFileSizeHigh} << 32 | datos.nFileSizeLow);
}

LecturaSecreto::LecturaSecreto(const QString& ruta) {
    const HANDLE h = abrirSinSeguir(ruta, GENERIC_READ | READ_CONTROL, FILE_SHARE_READ, &error_);
    if (h == INVALID_HANDLE_VALUE) return;
    archivo_ = ::_open_osfhandle(reinterpret_cast<intptr_t>(h), _O_RDONLY | _O_BINARY);
    if (archivo_ < 0) {
        CloseHandle(h);
        error_ = EMFILE;
    }
}

LecturaSecreto::~LecturaSecreto() {
    if (archivo_ >= 0) ::_close(archivo_);
}

qint64 LecturaSecreto::leerHasta(unsigned char* destino, std::size_t tamano) {
    std::size_t total = 0;
    while (total < tamano) {
        const auto parte = unsigned(std::min<std::size_t>(tamano - total, INT_MAX));
        const int n = ::_read(archivo_, destino + total, parte);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        if (n == 0) break;
        total += static_cast<std::size_t>(n);
    }
    return static_cast<qint64>(total);
}
