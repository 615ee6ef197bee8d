#pragma once
#include <QString>

// Identifier quoting for MySQL/MariaDB: `name`, with every backtick inside doubled, so a database,
// table or column name taken from data can never end the identifier early.
QString citarIdentificador(const QString& nombre);
