#include "plataforma/Proceso.h"

#include <aclapi.h>
#include <sddl.h>
#include <shellapi.h>

#include <QTextStream>
#include <cstdio>
#include <iterator>
#include <string>

#include "plataforma/windows/Sistema.h"

using namespace sistema;

namespace {
// Terminate, query (full and limited) and synchronize: what the user's other processes, a task
// manager among them, may still do with this one. No PROCESS_VM_READ, no PROCESS_VM_WRITE, no
// PROCESS_DUP_HANDLE, no PROCESS_CREATE_THREAD.
constexpr wchar_t AccesoDelUsuario[] = L"0x101401";
}  // namespace

void ProhibirVolcadosDeMemoria() {
    // No error dialog (and no report with a dump of the memory) when the program fails.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    std::vector<BYTE> usuario = sidDelUsuario();
    wchar_t* textoSid = nullptr;
    if (usuario.empty() || !ConvertSidToStringSidW(usuario.data(), &textoSid)) return;
    // OWNER RIGHTS takes away the owner's implicit right to change the DACL back.
    const std::wstring sddl = std::wstring(L"D:P(A;;") + AccesoDelUsuario + L";;;OW)(A;;" +
                              AccesoDelUsuario + L";;;" + textoSid + L")(A;;0x1fffff;;;SY)";
    LocalFree(textoSid);
    Descriptor protegido(sddl.c_str());
    if (protegido.valido())
        SetSecurityInfo(GetCurrentProcess(), SE_KERNEL_OBJECT,
                        DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                        nullptr, protegido.dacl(), nullptr);
}

bool ErrorEnTerminal() {
    DWORD modo = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &modo) != 0;
}

namespace {
// A line typed at the console, read as UTF-16 so that any character of a password arrives whole.
QString lineaDeConsola(HANDLE entrada) {
    QString texto;
    wchar_t parte[256];
    DWORD leidos = 0;
    while (ReadConsoleW(entrada, parte, DWORD(std::size(parte)), &leidos, nullptr) && leidos > 0) {
        texto += QString::fromWCharArray(parte, int(leidos));
        if (texto.endsWith(u'\n')) break;
    }
    while (texto.endsWith(u'\n') || texto.endsWith(u'\r')) texto.chop(1);
    return texto;
}
}  // namespace

QString LeerLineaOculta(const char* pregunta) {
    const HANDLE entrada = GetStdHandle(STD_INPUT_HANDLE);
    DWORD antes = 0;
    if (!GetConsoleMode(entrada, &antes)) {
        QTextStream flujo(stdin);
        return flujo.readLine();
    }
    SetConsoleMode(entrada, antes & ~DWORD{ENABLE_ECHO_INPUT});
    std::fputs(pregunta, stderr);
    std::fflush(stderr);
    QString texto = lineaDeConsola(entrada);
    SetConsoleMode(entrada, antes);
    std::fputs("\n", stderr);
    return texto;
}

void PrepararConsola() { SetConsoleOutputCP(CP_UTF8); }

// The command line as the system keeps it, in UTF-16, split by the system's own rules.
QStringList ArgumentosDelPrograma(int, char**) {
    int cuantos = 0;
    wchar_t** partes = CommandLineToArgvW(GetCommandLineW(), &cuantos);
    QStringList argumentos;
    for (int i = 1; partes && i < cuantos; ++i) argumentos << QString::fromWCharArray(partes[i]);
    LocalFree(partes);
    return argumentos;
}

void AjustarBibliotecas() { qputenv("QT_ENABLE_REGEXP_JIT", "0"); }
