#pragma once
#include <QString>

// The process and the console it runs in.

// Keeps the process's memory, which holds the key and the passwords, out of reach: no core dump
// is written, and other processes of the same user cannot read it.
void ProhibirVolcadosDeMemoria();

// Makes the console the program was started from show its UTF-8 text as written (a Windows
// console takes its own code page otherwise, and would garble every accent).
void PrepararConsola();
// Whether a person watches the standard error at a terminal (not a file, a pipe or a scheduled
// job's log).
bool ErrorEnTerminal();

// A line of the standard input; when the input is a terminal, `pregunta` is written to the
// standard error first and what is typed is not shown.
QString LeerLineaOculta(const char* pregunta);
