#include "plataforma/Proceso.h"

#include <sys/prctl.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <QTextStream>
#include <cstdio>

void ProhibirVolcadosDeMemoria() {
    const rlimit ninguno{0, 0};
    ::setrlimit(RLIMIT_CORE, &ninguno);
    ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
}

bool ErrorEnTerminal() { return ::isatty(STDERR_FILENO) != 0; }

QString LeerLineaOculta(const char* pregunta) {
    termios antes{};
    const bool terminal = ::isatty(STDIN_FILENO) && ::tcgetattr(STDIN_FILENO, &antes) == 0;
    if (terminal) {
        termios oculto = antes;
        oculto.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &oculto);
        std::fputs(pregunta, stderr);
    }
    QTextStream entrada(stdin);
    QString texto = entrada.readLine();
    if (terminal) {
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &antes);
        std::fputs("\n", stderr);
    }
    return texto;
}

void PrepararConsola() {}  // a terminal takes the locale's UTF-8 as it comes

QStringList ArgumentosDelPrograma(int argc, char** argv) {
    QStringList argumentos;
    for (int i = 1; i < argc; ++i) argumentos << QString::fromLocal8Bit(argv[i]);
    return argumentos;
}

void AjustarBibliotecas() {}
