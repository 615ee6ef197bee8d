// Whether an open secret file is to be trusted, in Windows terms: its owner is this user, SYSTEM or
// the Administrators; no ACE lets anybody else change it; no ACE lets every user read it.
#include <aclapi.h>
#include <io.h>

#include <cerrno>

#include "plataforma/ArchivoSecreto.h"
#include "plataforma/windows/Sistema.h"

using namespace sistema;

namespace {

constexpr ACCESS_MASK Escribir = FILE_WRITE_DATA | FILE_APPEND_DATA | WRITE_DAC | WRITE_OWNER |
                                 GENERIC_WRITE | GENERIC_ALL | DELETE;
constexpr ACCESS_MASK Leer = FILE_READ_DATA | GENERIC_READ | GENERIC_ALL;

bool esCuenta(PSID sid, WELL_KNOWN_SID_TYPE tipo) { return IsWellKnownSid(sid, tipo) != FALSE; }

// Those who may change the file anyway: its owner, this user, SYSTEM, the Administrators, and
// OWNER RIGHTS (what the owner may do).
bool puedeModificarlo(PSID sid, PSID dueno) {
    return EqualSid(sid, dueno) || esDeEsteUsuario(sid) || esCuenta(sid, WinLocalSystemSid) ||
           esCuenta(sid, WinBuiltinAdministratorsSid) || esCuenta(sid, WinCreatorOwnerRightsSid);
}

// Everyone, the Authenticated Users and the Users: any account of the machine.
bool esCualquiera(PSID sid) {
    return esCuenta(sid, WinWorldSid) || esCuenta(sid, WinAuthenticatedUserSid) ||
           esCuenta(sid, WinBuiltinUsersSid);
}

// What is wrong with the ACEs of `dacl` for a file of `dueno`, "" when nothing.
QString motivoEnDacl(PACL dacl, PSID dueno) {
    // A NULL DACL grants every access to everybody.
    if (!dacl) return QStringLiteral("cualquier usuario puede leerlo (no tiene lista de acceso)");
    bool leenTodos = false;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(dacl, i, &ace)) continue;
        const auto* cabecera = static_cast<ACE_HEADER*>(ace);
        // Only the ACEs that allow, and that apply to the file itself (not inherit-only ones).
        if (cabecera->AceType != ACCESS_ALLOWED_ACE_TYPE || (cabecera->AceFlags & INHERIT_ONLY_ACE))
            continue;
        auto* permitido = static_cast<ACCESS_ALLOWED_ACE*>(ace);
        const PSID sid = &permitido->SidStart;
        if ((permitido->Mask & Escribir) && !puedeModificarlo(sid, dueno))
            return QStringLiteral(
                "pueden modificarlo otros usuarios además de su dueño (solo su dueño, SYSTEM y "
                "Administradores deben poder escribirlo)");
        if ((permitido->Mask & Leer) && esCualquiera(sid)) leenTodos = true;
    }
    if (leenTodos)
        return QStringLiteral(
            "cualquier usuario puede leerlo (Todos, Usuarios autenticados o Usuarios tienen "
            "permiso "
            "de lectura; solo su dueño, o un grupo con el que se comparte, deben poder leerlo)");
    return QString();
}

}  // namespace

QString sistema::motivoNoConfiable(PSID dueno, PACL dacl) {
    if (!esDeEsteUsuario(dueno) && !esCuenta(dueno, WinLocalSystemSid) &&
        !esCuenta(dueno, WinBuiltinAdministratorsSid))
        return QStringLiteral(
            "pertenece a otro usuario (su dueño debe ser este usuario, SYSTEM o Administradores)");
    return motivoEnDacl(dacl, dueno);
}

std::optional<QString> LecturaSecreto::motivoNoConfiable() const {
    const intptr_t crudo = ::_get_osfhandle(archivo_);
    if (crudo == -1) {
        errno = EBADF;
        return std::nullopt;
    }
    const auto h = reinterpret_cast<HANDLE>(crudo);
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(h, &info)) {
        errnoDelSistema();
        return std::nullopt;
    }
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY || GetFileType(h) != FILE_TYPE_DISK)
        return QStringLiteral("no es un archivo normal");
    PSID dueno = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD error =
        GetSecurityInfo(h, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                        &dueno, nullptr, &dacl, nullptr, &descriptor);
    if (error != ERROR_SUCCESS) {
        errno = errnoDe(error);
        return std::nullopt;
    }
    const QString motivo = sistema::motivoNoConfiable(dueno, dacl);
    LocalFree(descriptor);
    return motivo;
}
