#pragma once
#include <QString>
#include <QStringList>

// The process and the console it runs in.

// Keeps the process's memory, which holds the key and the passwords, out of reach: no core dump
// is written, and other processes of the same user cannot read it.
void ProhibirVolcadosDeMemoria();

// Sets what the libraries under the program need on this system before any of them starts. On
// Windows: Qt's regular expressions without their JIT, whose per-thread stack the MinGW-w64
// runtime may free before Qt lets it go as a thread ends (a worker thread's end crashed the
// program now and then).
void AjustarBibliotecas();
// The arguments the program was started with, the program's name left out, whatever characters
// they hold (Windows gives main() only those of the system's code page).
QStringList ArgumentosDelPrograma(int argc, char** argv);
// Makes the console the program was started from show its UTF-8 text as written (a Windows
// console takes its own code page otherwise, and would garble every accent).
void PrepararConsola();
// Whether a person watches the standard error at a terminal (not a file, a pipe or a scheduled
// job's log).
bool ErrorEnTerminal();

// A line of the standard input; when the input is a terminal, `pregunta` is written to the
// standard error first and what is typed is not shown.
QString LeerLineaOculta(const char* pregunta);
