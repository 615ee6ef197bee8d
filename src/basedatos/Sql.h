#pragma once
#include <QByteArray>
#include <QString>
#include <QVariantList>

typedef struct st_mysql MYSQL;

// Identifier quoting for MySQL/MariaDB: `name`, with every backtick inside doubled, so a database,
// table or column name taken from data can never end the identifier early.
QString citarIdentificador(const QString& nombre);

// The statement `sql` as the bytes sent to the server, each "?" outside quotes, identifiers and
// comments replaced by its value of `valores`, in order, as a literal the client library escaped
// for the session `sesion` (its character set and the server's quoting mode): a NULL, a number,
// a text in quotes. False, with the reason in `error`, when the count of "?" and of values differ
// or a value has no literal (a double that is not a number or infinite).
bool armarSentencia(MYSQL* sesion, const QString& sql, const QVariantList& valores,
                    QByteArray* sentencia, QString* error);

// A double as the shortest text the server reads back as the very same double, always with an
// exponent (so that "1.5" is not taken as an exact decimal). False for a NaN or an infinity.
bool literalDoble(double valor, QByteArray* salida);
// The same text into `texto`, without allocating: its length, 0 for a NaN or an infinity.
// `conExponente` false leaves out the exponent a literal needs: a DOUBLE column reads the bare
// shortest text as that double too, and a bulk load reads fewer bytes.
inline constexpr int LargoLiteralDoble = 32;
int escribirDoble(double valor, char (&texto)[LargoLiteralDoble], bool conExponente = true);
// The decimal text of a double as the server writes it (the shortest that reads back to the same
// double), read back rounding correctly as the server's own reading does, subnormals included;
// false when the text is not a whole number's or a double's.
bool leerDoble(const char* desde, const char* hasta, double* valor);
