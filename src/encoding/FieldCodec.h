#pragma once
// Encoding of single field values into the hexadecimal text of the scale
// record: two upper-case figures per byte, most significant first.
//
// Every routine reports its own failures through ReportError with its source
// ("CVSFieldCode (value,length,type,font)", "CVSTxtData (text,fonts)",
// "LenData (data)") and then returns "". A value that does not fit its field
// (text longer than the field, a number beyond 32 bits or wider than the
// field, a negative BCD number, a time field under 2 bytes, a date field
// under 3 bytes, a text line or ASCII_NOFONT text over 255 bytes, a value that
// is not a time, date or number where one is needed, OTHER that is not
// hexadecimal, an unknown type) is such a failure: a record holding it would
// be misread by the scale.

#include <QByteArray>
#include <QString>
#include <QVariant>

namespace korvo {

class AppState;

enum class FieldType {
    Unknown,
    BCD,
    HEX,
    BIN,
    ASCII,
    ASCII_TXT,
    ASCII_NOFONT,
    BCD_TIME,
    BCD_DATE,
    BCD_PRICE,
    BCD_WEIGHT,
    OTHER
};

// The type of a descriptor's Type text, compared upper-cased.
FieldType ParseFieldType(const QString &type);

// How texts become scale bytes for one run: the conversion chosen by
// SetLanguageCodepage and LangeCodepageToConvert, from its own source code
// page (windows-1250 or windows-1251), or without one the system code page
// (settings.Codepage). Built once per encoder run; the free functions
// below build one per call.
class TextCodec {
public:
    explicit TextCodec(AppState &state);

    // The bytes of a text as the scale gets them. Characters the code page
    // cannot hold become "?" (reported by ToSystemCodepage).
    QByteArray bytes(const QString &text) const;

    // True when the text's bytes are its characters (ASCII in a code page
    // that keeps ASCII, and no Farsi conversion): the fast path.
    bool plain(QStringView text) const;

    AppState &state() const { return m_state; }

private:
    enum class Table { None, CentralEuropean, Cyrillic, IranSystem };
    AppState &m_state;
    Table m_table = Table::None;
    QByteArray m_codepage;          // the code page texts are written in
    bool m_asciiCompatible = false; // bytes 0..127 are the characters 0..127
};

// Appends the encodings to out; false after a reported failure (out may then
// hold a partial field). typeText is the descriptor's Type as written, for
// the error source.
bool AppendFieldCode(const TextCodec &codec, QByteArray &out, const QString &value, qint16 length,
                     FieldType type, const QString &typeText, const QString &font);
// The same for a value as stored in the database (nullText when it is null):
// the encoding of StoredValueText(value), without building the text of a
// number.
bool AppendFieldValue(const TextCodec &codec, QByteArray &out, const QVariant &value,
                      const QString &nullText, qint16 length, FieldType type, const QString &typeText,
                      const QString &font);
// The same for a stored whole or real number (a value of type qlonglong or
// double), without a QVariant.
bool AppendFieldInteger(const TextCodec &codec, QByteArray &out, qint64 value, qint16 length,
                        FieldType type, const QString &typeText, const QString &font);
bool AppendFieldReal(const TextCodec &codec, QByteArray &out, double value, qint16 length,
                     FieldType type, const QString &typeText, const QString &font);
bool AppendTxtData(const TextCodec &codec, QByteArray &out, const QString &text,
                   const QString &fonts);
bool AppendLenData(AppState &state, QByteArray &out, const QByteArray &data, qint16 length);

// Appends bytes as hexadecimal figures.
void AppendHex(QByteArray &out, const QByteArray &bytes);

// The steps under their own names. ok (optional) is false after a failure.
QString CVSFieldCode(AppState &state, const QString &value, qint16 length, const QString &type,
                     const QString &font, bool *ok = nullptr);
QString CVSTxtData(AppState &state, const QString &text, const QString &fonts, bool *ok = nullptr);
QString AsciiToHex(AppState &state, const QString &text);
// The total record length in bytes (data plus the length field itself),
// big-endian in length bytes.
QString LenData(AppState &state, const QString &data, qint16 length, bool *ok = nullptr);

// How a stored value reads as a field value (the value must not be null):
// numbers in decimal ("." as separator, up to 15 significant figures), texts
// as they are.
QString StoredValueText(const QVariant &value);

// Text of a number with up to 15 significant figures and no exponent, "."
// as the decimal separator: how a stored number reads as a field value.
QString FifteenDigitText(double v);

} // namespace korvo
