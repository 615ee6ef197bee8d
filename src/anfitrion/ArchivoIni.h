#pragma once
#include <QList>
#include <QString>
#include <functional>
#include <utility>

// Reads and writes one key of a profile-style settings file.
//
// Sections and keys match without regard to letter case; every other line of the file (comments,
// blank lines, lines not understood, other sections) is kept byte for byte on a write. Files of the
// earlier Windows program are Windows-1252 and stay so; new files are UTF-8. Every write replaces
// the file atomically (a new file beside it, flushed to the disk, renamed over the old one) while
// holding the lock "<file>.lock" beside it, so that writers in several processes never lose each
// other's keys. A file the program writes is always one it reads back: neither goes past 16 MiB.
class ArchivoIni {
public:
    // Who may read a file that a write creates. An existing file keeps its own permissions.
    enum class Acceso {
        Comun,     // as the process's umask allows
        SoloDueno  // read and write for the owner only: for files that hold credentials
    };

    // The value of `clave` in `[seccion]` of `archivo`: the text after the first "=" of the key's
    // line, exactly as stored (blanks kept, only the line end removed). "" when the file, the
    // section or the key is missing, when the file cannot be read, or when it is a directory.
    static QString leer(const QString& archivo, const QString& seccion, const QString& clave);
    // Why `archivo` cannot be read ("es una carpeta", a file over 16 MiB, the system's reason); ""
    // when it can be read or does not exist. Such a file is never written over either.
    static QString motivoIlegible(const QString& archivo);
    // Stores `valor` under `clave` in `[seccion]`, creating the file, the section or the key as
    // needed. Returns false (and leaves the earlier file whole) when the file cannot be written;
    // `error`, when given, then receives a Spanish description naming the file.
    // A section, key or value that could not be read back as given (a line break in any of them, a
    // "]" in the section, a "=" in the key, an empty section or key, a key that would read as a
    // comment or a section header) is refused the same way, so that it cannot add or damage lines.
    static bool escribir(const QString& archivo, const QString& seccion, const QString& clave,
                         const QString& valor, QString* error = nullptr,
                         Acceso nuevo = Acceso::Comun);
    // Stores every pair of `valores` (key, value) in `[seccion]` in one write of the file: the
    // file ends as it would after storing them one by one, in order.
    static bool escribirVarias(const QString& archivo, const QString& seccion,
                               const QList<std::pair<QString, QString>>& valores,
                               QString* error = nullptr, Acceso nuevo = Acceso::Comun);

    // Test programs only: `pausa` runs in every later write of this process while it holds the
    // lock, after the file is read and before it is replaced, to widen the window in which another
    // writer could interfere. An empty function removes it.
    static void ponerPausaAntesDeReemplazar(std::function<void()> pausa);
};

// The leading decimal number of a text: leading blanks (spaces, tabs) skipped, an optional sign,
// digits with "." as the decimal separator; "" and texts without a leading number give 0.
// "12abc" gives 12, " 3.5" gives 3.5, "-7" gives -7, "abc" gives 0, "1e3" gives 1 (no exponent).
// A number too large for a double gives plus or minus infinity.
double obVal(const QString& texto);

// Text in Windows-1252, the code page of files written on the earlier Windows systems: every byte
// gives one character (the five bytes the code page leaves undefined, the control character of the
// same number).
QString DesdeWindows1252(const QByteArray& bytes);
