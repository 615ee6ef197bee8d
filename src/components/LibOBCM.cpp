#include "components/LibOBCM.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>

#include "components/ArchivoIni.h"

QString LibOBCM::LeeIni(const QString& seccion, const QString& clave, const QString& archivo) const
{
    return ArchivoIni::leer(archivo, seccion, clave);
}

bool LibOBCM::EscribeIni(const QString& seccion, const QString& clave, const QString& valor,
                         const QString& archivo, QString* error)
{
    return ArchivoIni::escribir(archivo, seccion, clave, valor, error);
}

bool LibOBCM::EscribeIniVarias(const QString& seccion, const QList<std::pair<QString, QString>>& valores,
                               const QString& archivo, QString* error)
{
    return ArchivoIni::escribirVarias(archivo, seccion, valores, error);
}

double LibOBCM::obVal(const QString& valor) const { return ::obVal(valor); }

void LibOBCM::Resalta(QLineEdit* caja) const
{
    if (!caja)
        return;
    // After the focus change has been handled, or the click that gave the focus would undo it.
    QTimer::singleShot(0, caja, [caja] { caja->selectAll(); });
}

void LibOBCM::Teclas(int&) const {}

void LibOBCM::Enter(int& codigoCaracter) const
{
    if (codigoCaracter != 13)
        return;
    codigoCaracter = 0;
    if (QWidget* foco = QApplication::focusWidget()) {
        QKeyEvent tabulador(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
        QApplication::sendEvent(foco, &tabulador);
    }
}
