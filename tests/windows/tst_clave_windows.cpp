// The key file's rules in Windows terms: its owner and the ACEs of its DACL say who may change it
// and who may read it. Wine keeps only POSIX modes for files, so the rules are checked on
// descriptors built from SDDL text, and one through a real file.
#include <QDir>
#include <QtTest>

#include "anfitrion/Cifrado.h"
// sddl.h needs windows.h first.
// clang-format off
#include "plataforma/windows/Sistema.h"
#include <sddl.h>
// clang-format on

class TstClaveWindows : public QObject {
    Q_OBJECT

    // This process's user, in SDDL's form.
    static QString usuarioSddl() {
        std::vector<BYTE> sid = sistema::sidDelUsuario();
        wchar_t* texto = nullptr;
        if (sid.empty() || !ConvertSidToStringSidW(sid.data(), &texto)) return QString();
        const QString usuario = QString::fromWCharArray(texto);
        LocalFree(texto);
        return usuario;
    }

private slots:
    // A descriptor's owner and DACL, and what the key check says of them ("" when the key is used).
    void duenoYPermisos_data() {
        QTest::addColumn<QString>("sddl");
        QTest::addColumn<QString>("motivo");
        const QString leen = QStringLiteral("cualquier usuario puede leerlo");
        const QString modifican = QStringLiteral("pueden modificarlo otros usuarios");
        const QString ajena = QStringLiteral("pertenece a otro usuario");
        const QString soloDueno = QString::fromWCharArray(sistema::SoloDueno);
        const QString yo = QStringLiteral("O:") + usuarioSddl();
        QTest::newRow("solo el dueño") << yo + soloDueno << QString();
        QTest::newRow("de SYSTEM") << QStringLiteral("O:SY") + soloDueno << QString();
        QTest::newRow("de Administradores") << QStringLiteral("O:BA") + soloDueno << QString();
        QTest::newRow("de los Usuarios") << QStringLiteral("O:BU") + soloDueno << ajena;
        QTest::newRow("de Todos") << QStringLiteral("O:WD") + soloDueno << ajena;
        QTest::newRow("la lee un grupo")
            << yo + soloDueno + QStringLiteral("(A;;FR;;;BO)") << QString();
        QTest::newRow("se niega a todos")
            << yo + soloDueno + QStringLiteral("(D;;FA;;;WD)") << QString();
        QTest::newRow("la heredarían todos")
            << yo + soloDueno + QStringLiteral("(A;OICIIO;FA;;;WD)") << QString();
        QTest::newRow("la lee Todos") << yo + soloDueno + QStringLiteral("(A;;FR;;;WD)") << leen;
        QTest::newRow("la leen los autenticados")
            << yo + soloDueno + QStringLiteral("(A;;GR;;;AU)") << leen;
        QTest::newRow("la leen los Usuarios")
            << yo + soloDueno + QStringLiteral("(A;;FR;;;BU)") << leen;
        QTest::newRow("la escribe un grupo")
            << yo + soloDueno + QStringLiteral("(A;;FW;;;BO)") << modifican;
        QTest::newRow("la borra un grupo")
            << yo + soloDueno + QStringLiteral("(A;;SD;;;BO)") << modifican;
        QTest::newRow("cambia sus permisos Todos")
            << yo + soloDueno + QStringLiteral("(A;;WD;;;WD)") << modifican;
        QTest::newRow("sin lista de acceso") << yo + QStringLiteral("D:NO_ACCESS_CONTROL") << leen;
    }
    void duenoYPermisos() {
        QFETCH(QString, sddl);
        QFETCH(QString, motivo);
        sistema::Descriptor descriptor(reinterpret_cast<const wchar_t*>(sddl.utf16()));
        QVERIFY2(descriptor.valido(), qPrintable(sddl));
        PSID dueno = nullptr;
        BOOL porDefecto = FALSE;
        QVERIFY(GetSecurityDescriptorOwner(descriptor.descriptor(), &dueno, &porDefecto));
        // Windows has no list for NO_ACCESS_CONTROL; wine makes an empty one, which denies all.
        const bool sinLista = sddl.contains(QStringLiteral("NO_ACCESS_CONTROL"));
        const QString dicho =
            sistema::motivoNoConfiable(dueno, sinLista ? nullptr : descriptor.dacl());
        if (motivo.isEmpty())
            QVERIFY2(dicho.isEmpty(), qPrintable(dicho));
        else
            QVERIFY2(dicho.contains(motivo), qPrintable(dicho));
    }

    // Through a real file: a key every user may read is refused with the reason, and its path is
    // shown as the system writes it.
    void claveQueTodosLeen() {
        QTemporaryDir dir;
        QVERIFY(Cifrado::crearClave(dir.path()));
        QVERIFY(Cifrado::abrir(dir.path()).has_value());
        const QString ruta = QDir(dir.path()).filePath(Cifrado::nombreArchivoClave());
        sistema::Descriptor todos(L"D:P(A;;FA;;;OW)(A;;FR;;;WD)");
        QVERIFY(SetFileSecurityW(sistema::rutaNativa(ruta).c_str(), DACL_SECURITY_INFORMATION,
                                 todos.descriptor()));
        QString error;
        QVERIFY(!Cifrado::abrir(dir.path(), &error).has_value());
        QVERIFY2(error.contains(QDir::toNativeSeparators(ruta)) &&
                     error.contains(QStringLiteral("cualquier usuario puede leerlo")),
                 qPrintable(error));
    }
};

QTEST_GUILESS_MAIN(TstClaveWindows)
#include "tst_clave_windows.moc"
