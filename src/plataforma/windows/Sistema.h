#pragma once
// What the Windows implementation of the platform shares: the system's error numbers told in
// errno's terms, paths in the system's wide form, and the security descriptors of the files only
// their owner may use.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <QString>
#include <string>
#include <vector>

#include "plataforma/NombreAlAzar.h"

namespace sistema {

// The errno value that tells the same as the system's error `error` (GetLastError()).
int errnoDe(DWORD error);
// Sets errno from GetLastError() and returns it.
int errnoDelSistema();

// `ruta` with the system's separators, as the wide string the W functions take; UNC paths
// (\\server\share\...) pass as they are.
std::wstring rutaNativa(const QString& ruta);

// Moves the file `nuevo` to the name `destino`, replacing the file there, and returns once the
// move is on the disk. A file that any program holds open, even only to read its size, cannot be
// replaced: the move is tried again for up to two seconds while the system says so, for the
// other users of a settings file and the indexers and virus scanners that open a file briefly.
// False with GetLastError() set.
bool moverReemplazando(const QString& nuevo, const QString& destino);

// A security descriptor built from its SDDL text, freed when it goes.
class Descriptor {
public:
    explicit Descriptor(const wchar_t* sddl);
    ~Descriptor();
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    bool valido() const { return descriptor_ != nullptr; }
    PSECURITY_DESCRIPTOR descriptor() const { return descriptor_; }
    PACL dacl() const;
    // For CreateFileW: the new file gets this descriptor; nullptr when it could not be built, so
    // the file inherits its folder's permissions instead.
    SECURITY_ATTRIBUTES* atributos();

private:
    PSECURITY_DESCRIPTOR descriptor_ = nullptr;
    SECURITY_ATTRIBUTES atributos_{};
};

// The DACL of a file only its owner may use: protected (nothing inherited from the folder), full
// access for the owner, SYSTEM and the Administrators, nobody else.
inline constexpr wchar_t SoloDueno[] = L"D:P(A;;FA;;;OW)(A;;FA;;;SY)(A;;FA;;;BA)";

// The SID of the user this process runs as (TokenUser), and the one that owns what it creates
// (TokenOwner: the Administrators for an elevated administrator). Empty when unknown.
std::vector<BYTE> sidDelUsuario();
std::vector<BYTE> sidDelDuenoPorDefecto();
// Whether `sid` is this user (either of the two above).
bool esDeEsteUsuario(PSID sid);

// Why a secret file of owner `dueno` and DACL `dacl` (null: none, everybody may do anything) is
// not to be trusted, "" when it is: see LecturaSecreto::motivoNoConfiable.
QString motivoNoConfiable(PSID dueno, PACL dacl);

}  // namespace sistema
