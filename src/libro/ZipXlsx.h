#pragma once
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <deque>
#include <future>
#include <vector>

class QFileDevice;

// The zip package of an .xlsx, written in one pass to a seekable file: each part deflated (raw
// DEFLATE), its local header filled in with the CRC-32 and sizes once the part is written (no data
// descriptors), the central directory and end record after the last part. Parts are dated
// 1980-01-01 00:00. Offsets past 4 GiB get the ZIP64 records; a single part of 4 GiB or more is
// refused.
//
// A part written in pieces is deflated on every core: its text is cut into chunks of a few
// megabytes, each deflated on a thread of its own and ended on a byte boundary, so that the
// chunks, written in order, are one DEFLATE stream; their CRC-32s are joined with crc32_combine.
// The part may start with a few bytes kept as they are (a stored block), which can be changed,
// at the same length, until the part ends: a sheet's extent, known only after its rows.
class ZipXlsx {
public:
    // `hilos`: the chunks deflated at once (0: as many as the machine has cores).
    explicit ZipXlsx(QFileDevice& salida, int hilos = 0);
    ~ZipXlsx();
    ZipXlsx(const ZipXlsx&) = delete;
    ZipXlsx& operator=(const ZipXlsx&) = delete;

    // A whole part, deflated at once. False with error().
    bool agregar(const QString& nombre, const QByteArray& datos);

    // A part written in pieces: empezar (with its changeable start, at most 65,535 bytes), then
    // escribir any number of times, then terminar.
    bool empezar(const QString& nombre, const QByteArray& inicio = QByteArray());
    bool escribir(const QByteArray& texto);
    void cambiarInicio(const QByteArray& inicio);  // the same length as the one given to empezar
    bool terminar();

    // The central directory and the end records; false with error().
    bool cerrar();
    QString error() const { return error_; }

    // The DEFLATE level of the parts: fast, since the sheet is most of the work.
    static constexpr int Nivel = 1;
    // Bytes of text per chunk deflated on one thread.
    static constexpr qsizetype BytesPorTrozo = 4 << 20;

private:
    struct Entrada {
        QByteArray nombre;
        std::uint64_t local = 0;  // offset of its local header
        std::uint32_t crc = 0;
        std::uint64_t comprimido = 0, original = 0;
    };
    struct Trozo {
        QByteArray comprimido;
        std::uint32_t crc = 0;
        std::uint64_t original = 0;
        bool bien = true;
    };
    bool escribirBytes(const QByteArray& bytes);
    bool cabeceraLocal(const Entrada& e);
    bool lanzar(bool ultimo);
    bool recoger();
    bool fallar(const QString& motivo);

    QFileDevice& salida_;
    std::size_t hilos_;
    std::vector<Entrada> entradas_;
    std::uint64_t posicion_ = 0;
    // The part being written in pieces.
    bool abierta_ = false;
    QByteArray inicio_;
    qint64 posInicio_ = 0;  // where its stored bytes lie in the file
    QByteArray pendiente_;
    std::deque<std::future<Trozo>> enCurso_;
    std::uint32_t crcResto_ = 0;  // of the deflated chunks written so far
    std::uint64_t originalResto_ = 0;
    std::uint64_t comprimidoParte_ = 0;
    QString error_;
};
