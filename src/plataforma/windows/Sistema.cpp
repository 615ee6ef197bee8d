#include "plataforma/windows/Sistema.h"

#include <sddl.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QThread>
#include <algorithm>
#include <cerrno>

// Not in every SDK's headers.
#ifndef ERROR_STOPPED_ON_SYMLINK
#define ERROR_STOPPED_ON_SYMLINK 681L
#endif
#ifndef ERROR_DISK_QUOTA_EXCEEDED
#define ERROR_DISK_QUOTA_EXCEEDED 1295L
#endif

namespace sistema {

int errnoDe(DWORD error) {
    switch (error) {
        case ERROR_SUCCESS:
            return 0;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME:
            return ENOENT;
        case ERROR_ACCESS_DENIED:
        case ERROR_NETWORK_ACCESS_DENIED:
        case ERROR_PRIVILEGE_NOT_HELD:
            return EACCES;
        // A file another program holds open (a workbook open in a spreadsheet program).
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_BUSY:
            return EBUSY;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
        case ERROR_DISK_QUOTA_EXCEEDED:  // the CRT has no EDQUOT
            return ENOSPC;
        case ERROR_ALREADY_EXISTS:
        case ERROR_FILE_EXISTS:
            return EEXIST;
        case ERROR_WRITE_PROTECT:
            return EROFS;
        case ERROR_INVALID_NAME:
        case ERROR_INVALID_PARAMETER:
            return EINVAL;
        case ERROR_DIRECTORY:  // a part of the path that should be a folder is not one
            return ENOTDIR;
        case ERROR_FILENAME_EXCED_RANGE:
            return ENAMETOOLONG;
        case ERROR_NOT_SAME_DEVICE:  // a move between two volumes
            return EXDEV;
        case ERROR_DIR_NOT_EMPTY:
            return ENOTEMPTY;
        case ERROR_TOO_MANY_OPEN_FILES:
            return EMFILE;
        case ERROR_CANT_RESOLVE_FILENAME:
        case ERROR_NOT_A_REPARSE_POINT:
        case ERROR_REPARSE_TAG_INVALID:
        case ERROR_STOPPED_ON_SYMLINK:
            return ELOOP;
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
            return ENOMEM;
        default:
            return EIO;
    }
}

int errnoDelSistema() {
    const int numero = errnoDe(GetLastError());
    errno = numero;
    return numero;
}

std::wstring rutaNativa(const QString& ruta) {
    return QDir::toNativeSeparators(ruta).toStdWString();
}

Descriptor::Descriptor(const wchar_t* sddl) {
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor_,
                                                              nullptr))
        descriptor_ = nullptr;
    atributos_.nLength = sizeof atributos_;
    atributos_.lpSecurityDescriptor = descriptor_;
    atributos_.bInheritHandle = FALSE;
}

Descriptor::~Descriptor() {
    if (descriptor_) LocalFree(descriptor_);
}

PACL Descriptor::dacl() const {
    BOOL presente = FALSE, porDefecto = FALSE;
    PACL dacl = nullptr;
    if (!descriptor_ || !GetSecurityDescriptorDacl(descriptor_, &presente, &dacl, &porDefecto))
        return nullptr;
    return presente ? dacl : nullptr;
}

SECURITY_ATTRIBUTES* Descriptor::atributos() { return descriptor_ ? &atributos_ : nullptr; }

bool moverReemplazando(const QString& nuevo, const QString& destino) {
    const std::wstring desde = rutaNativa(nuevo), hacia = rutaNativa(destino);
    const QDeadlineTimer plazo(2000);
    for (unsigned long pausa = 2;; pausa = std::min(pausa * 2, 50UL)) {
        if (MoveFileExW(desde.c_str(), hacia.c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
        const DWORD error = GetLastError();
        const bool abierto = error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION ||
                             error == ERROR_LOCK_VIOLATION;
        if (!abierto || plazo.hasExpired()) {
            SetLastError(error);
            return false;
        }
        QThread::msleep(pausa);
    }
}

namespace {
// The SID the process's token holds in `clase` (TokenUser or TokenOwner).
std::vector<BYTE> sidDelToken(TOKEN_INFORMATION_CLASS clase) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
    DWORD largo = 0;
    GetTokenInformation(token, clase, nullptr, 0, &largo);
    std::vector<BYTE> datos(largo);
    const bool bien =
        largo > 0 && GetTokenInformation(token, clase, datos.data(), largo, &largo) != 0;
    CloseHandle(token);
    if (!bien) return {};
    // TOKEN_USER and TOKEN_OWNER both begin with the pointer to the SID, inside `datos`.
    const PSID sid = clase == TokenUser ? reinterpret_cast<TOKEN_USER*>(datos.data())->User.Sid
                                        : reinterpret_cast<TOKEN_OWNER*>(datos.data())->Owner;
    const auto* inicio = static_cast<const BYTE*>(sid);
    return std::vector<BYTE>(inicio, inicio + GetLengthSid(sid));
}
}  // namespace

std::vector<BYTE> sidDelUsuario() { return sidDelToken(TokenUser); }
std::vector<BYTE> sidDelDuenoPorDefecto() { return sidDelToken(TokenOwner); }

bool esDeEsteUsuario(PSID sid) {
    static const std::vector<BYTE> usuario = sidDelUsuario();
    static const std::vector<BYTE> dueno = sidDelDuenoPorDefecto();
    for (const std::vector<BYTE>* propio : {&usuario, &dueno})
        if (!propio->empty() && EqualSid(sid, const_cast<BYTE*>(propio->data()))) return true;
    return false;
}

}  // namespace sistema
