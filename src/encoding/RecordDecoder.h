#pragma once
// The inverse of the record builder: a scale PLU record read back, field by
// field through PLU.dsc and PLU_STATUS.dsc, into the values of the PLU
// columns it stands for.
//
// Round trip: building a record again from the decoded values gives the
// bytes that were decoded, for every record the builder writes. What the
// record cannot tell comes back resolved: a label or barcode format the PLU
// inherits (-1) comes back as the main group's format, the discount block as
// its hexadecimal text in PLU_Disount, an empty multi-line text as "".
//
// Which conditional fields a record holds is not written in it: their flags
// sit in the status bytes, some of them after the field they switch (the
// second status byte block decides the first's optional part) or in a block
// that is itself absent. The decoder tries the readings the flags leave open
// and takes the first that agrees with every status bit it reads and ends
// exactly at the record's end. The number of readings tried is bounded, so
// no input can make it run long.
//
// Texts come back through the code page of the settings (and the inverse of
// the DOS 852 / DOS 866 tables); the Farsi conversion (shaping, visual order)
// has no inverse, so under it texts come back in the system code page.

#include "core/Records.h"
#include "encoding/FieldCodec.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QVariant>
#include <QVector>
#include <array>
#include <memory>
#include <optional>

namespace korvo {

class AppState;

// The descriptors a record is built from, copied out of the encoder's tables
// so that a decoder keeps them while the tables are read anew.
struct RecordLayout {
    QVector<FieldDescriptor> fields; // PLU.dsc
    QVector<StatusFlag> flags;       // PLU_STATUS.dsc
    qint16 priceDecimals = 0;
    qint16 weightDecimals = 0;
};

// Reads the decimal places, PLU_STATUS.dsc and PLU.dsc as the encoder does.
// False after a reported failure (the layout is then not to be used).
bool LoadRecordLayout(AppState &state, RecordLayout &layout);

// Bytes of a scale text back to the text, the inverse of TextCodec.
class TextDecoder {
public:
    explicit TextDecoder(const AppState &state);
    QString text(QByteArrayView bytes) const;

private:
    QByteArray m_codepage;
    bool m_asciiCompatible = false;
    bool m_useTable = false;
    std::array<quint8, 128> m_inverse{}; // DOS byte 128.. -> Windows byte
};

// One field of `bytes` at pos, as the builder writes type with length;
// pos moves past it. ASCII_TXT gives the lines joined by CR in value and the
// line fonts joined by "," in *fonts. False with *error set when the bytes
// are not such a field.
bool DecodeFieldValue(const TextDecoder &text, FieldType type, qint16 length, qint16 decimals,
                      QByteArrayView bytes, qsizetype &pos, QVariant &value, QString *fonts,
                      QString *error);

// The record without its two length bytes, and back. Offsets of decoded
// fields count in the data. RecordData gives nullopt when the length bytes
// do not give the record's size.
std::optional<QByteArray> RecordData(QByteArrayView record);
QByteArray RecordFromData(QByteArrayView data);

struct DecodedField {
    int descriptor = -1; // index in RecordLayout::fields
    qsizetype offset = 0; // in the record data (without the length bytes)
    qsizetype size = 0;
};

struct DecodedRecord {
    // The columns a record of the layout can give (the decoder's, shared)
    // and this record's value of each; invalid where the record gives none.
    // Fields come first in record order, then font columns, then flags; a
    // flag whose byte the record does not hold reads 0.
    QStringList columns;
    QVector<QVariant> values;
    QVector<DecodedField> fields; // the fields the record holds
    // The value of a column (compared without regard to case).
    QVariant value(const QString &column) const;
    // The field whose descriptor Column is column, or nullptr.
    const DecodedField *field(const RecordLayout &layout, const QString &column) const;
};

class RecordDecoder {
public:
    RecordDecoder(const AppState &state, RecordLayout layout);
    ~RecordDecoder();
    RecordDecoder(const RecordDecoder &) = delete;
    RecordDecoder &operator=(const RecordDecoder &) = delete;

    // nullopt with *error set when the bytes are no record of this layout.
    std::optional<DecodedRecord> decode(QByteArrayView record, QString *error = nullptr) const;
    const RecordLayout &layout() const;
    const TextDecoder &textDecoder() const;
    // The columns of DecodedRecord, in the same order.
    const QStringList &columns() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace korvo
