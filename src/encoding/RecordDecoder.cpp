#include "encoding/RecordDecoder.h"

#include "core/AppState.h"
#include "core/Values.h"
#include "encoding/DescriptorFiles.h"
#include "encoding/FieldSpecial.h"
#include "encoding/RecordBuilder.h"

#include <QDate>
#include <QHash>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTime>
#include <cmath>

namespace korvo {

namespace {

// Readings tried per record before the decoder gives up. A layout whose
// flags all sit before the fields they switch needs one; ours needs two.
constexpr int kMaxSteps = 20000;
constexpr int kDiscountBytes = 30; // the builder always writes 30 bytes
constexpr int kEanBytes = 7;       // inherited barcode data: 14 figures

QString tooShort(qsizetype need, qsizetype have)
{
    return QStringLiteral("needs %1 bytes, %2 are left").arg(need).arg(have);
}

// Packed decimal figures of n bytes at pos; false when a half byte is above 9.
bool bcdFigures(QByteArrayView b, qsizetype pos, qsizetype n, QByteArray &figures)
{
    figures.resize(2 * n);
    for (qsizetype i = 0; i < n; ++i) {
        const quint8 v = quint8(b[pos + i]);
        if ((v >> 4) > 9 || (v & 0x0F) > 9)
            return false;
        figures[2 * i] = char('0' + (v >> 4));
        figures[2 * i + 1] = char('0' + (v & 0x0F));
    }
    return true;
}

QByteArray withoutLeadingZeros(const QByteArray &figures)
{
    qsizetype i = 0;
    while (i + 1 < figures.size() && figures.at(i) == '0')
        ++i;
    return figures.mid(i);
}

// A whole number as the builder reads it back: up to 18 figures as a
// number, longer ones as their text.
QVariant wholeValue(const QByteArray &figures)
{
    const QByteArray f = withoutLeadingZeros(figures);
    if (f.size() <= 18)
        return QVariant(f.toLongLong());
    return QVariant(QString::fromLatin1(f));
}

// Status bytes of a block and the zero bytes the builder adds after them.
struct Block {
    int first = 0;
    int count = 0;
    int filler = 0;
};

Block blockOf(Special s)
{
    switch (s) {
    case Special::Status: return {0, 2, 0};
    case Special::StatusB: return {2, 1, 3};
    case Special::Status2: return {3, 3, 0};
    case Special::Status2B: return {6, 5, 3};
    default: return {};
    }
}

} // namespace

// ---------------------------------------------------------------------------

bool LoadRecordLayout(AppState &state, RecordLayout &layout)
{
    const bool decimals = GetDefualtSettingValues(state);
    const bool status = ReadZentStatFile(state, DescriptorPath(state, QStringLiteral("PLU_STATUS.dsc")));
    const bool plu = status && ReadZentPLUDescFile(state, DescriptorPath(state, QStringLiteral("PLU.dsc")));
    layout.fields = state.enc.fieldDescs;
    layout.flags = state.enc.statusFlags;
    layout.priceDecimals = state.enc.priceDecimals;
    layout.weightDecimals = state.enc.weightDecimals;
    return decimals && status && plu;
}

TextDecoder::TextDecoder(const AppState &state)
{
    QString name = state.settings.Codepage.trimmed();
    if (name.isEmpty() || !QStringDecoder(name.toLatin1().constData()).isValid())
        name = QStringLiteral("windows-1252");
    m_codepage = name.toLatin1();
    QStringEncoder probe(m_codepage.constData());
    QString ascii(128, Qt::Uninitialized);
    for (int i = 0; i < 128; ++i)
        ascii[i] = QChar(i);
    const QByteArray got = probe(ascii);
    m_asciiCompatible = !probe.hasError() && got == ascii.toLatin1();
    QStringEncoder wide(m_codepage.constData());
    const QByteArray cjk = wide(QStringView(u"\u4E2D"));
    const bool multiByte = cjk.size() > 1;

    const CodepageTable *table = nullptr;
    if (state.settings.SetLanguageCodepage == 1 && state.codepagesLoaded && !multiByte) {
        if (state.settings.LangeCodepageToConvert == 0)
            table = &state.cpCentralEuropean;
        else if (state.settings.LangeCodepageToConvert == 1)
            table = &state.cpCyrillic;
    }
    if (table) {
        m_useTable = true;
        std::array<bool, 128> set{};
        for (int i = 0; i < 128; ++i)
            m_inverse[i] = quint8(128 + i);
        // Where two Windows bytes share a DOS byte, the first one comes back.
        for (int i = 0; i < 128; ++i) {
            const quint8 dos = (*table)[i];
            if (dos >= 128 && !set[dos - 128]) {
                set[dos - 128] = true;
                m_inverse[dos - 128] = quint8(128 + i);
            }
        }
    }
}

QString TextDecoder::text(QByteArrayView bytes) const
{
    bool ascii = true;
    for (char c : bytes) {
        if (quint8(c) >= 0x80) {
            ascii = false;
            break;
        }
    }
    if (ascii && m_asciiCompatible)
        return QString::fromLatin1(bytes.data(), bytes.size());
    QByteArray b = bytes.toByteArray();
    if (m_useTable) {
        for (char &c : b) {
            if (quint8(c) >= 128)
                c = char(m_inverse[quint8(c) - 128]);
        }
    }
    QStringDecoder dec(m_codepage.constData(), QStringDecoder::Flag::Stateless);
    return dec(b);
}

bool DecodeFieldValue(const TextDecoder &text, FieldType type, qint16 length, qint16 decimals,
                      QByteArrayView b, qsizetype &pos, QVariant &value, QString *fonts, QString *error)
{
    auto failed = [&](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    const qsizetype left = b.size() - pos;
    const qsizetype n = length;
    auto take = [&](qsizetype need) { return need <= b.size() - pos; };
    QByteArray figures;

    switch (type) {
    case FieldType::BCD:
    case FieldType::BCD_PRICE:
    case FieldType::BCD_WEIGHT: {
        if (!take(n))
            return failed(tooShort(n, left));
        double whole = 0;
        if (n <= 9) {
            // Up to 18 figures: read as a number straight away.
            qint64 v = 0;
            for (qsizetype i = 0; i < n; ++i) {
                const quint8 c = quint8(b[pos + i]);
                if ((c >> 4) > 9 || (c & 0x0F) > 9)
                    return failed(QStringLiteral("not packed decimal figures"));
                v = v * 100 + (c >> 4) * 10 + (c & 0x0F);
            }
            if (type == FieldType::BCD) {
                pos += n;
                value = qlonglong(v);
                return true;
            }
            whole = double(v);
        } else {
            if (!bcdFigures(b, pos, n, figures))
                return failed(QStringLiteral("not packed decimal figures"));
            if (type == FieldType::BCD) {
                pos += n;
                value = wholeValue(figures);
                return true;
            }
            whole = withoutLeadingZeros(figures).toDouble();
        }
        pos += n;
        // The builder wrote value x 10^decimals as a whole number.
        value = decimals >= 0 ? whole / std::pow(10.0, decimals) : whole * std::pow(10.0, -decimals);
        return true;
    }
    case FieldType::HEX:
    case FieldType::BIN: {
        if (!take(n))
            return failed(tooShort(n, left));
        // A 32-bit number, negative ones in two's complement; the bytes
        // before the last four are zero.
        quint32 v = 0;
        for (qsizetype i = 0; i < n; ++i) {
            const quint8 c = quint8(b[pos + i]);
            if (i < n - 4 && c != 0)
                return failed(QStringLiteral("a number beyond 32 bits"));
            v = (v << 8) | c;
        }
        pos += n;
        value = n >= 4 ? QVariant(qlonglong(qint32(v))) : QVariant(qlonglong(v));
        return true;
    }
    case FieldType::ASCII: {
        if (!take(n))
            return failed(tooShort(n, left));
        qsizetype end = n;
        while (end > 0 && b[pos + end - 1] == 0)
            --end;
        value = text.text(b.sliced(pos, end));
        pos += n;
        return true;
    }
    case FieldType::ASCII_NOFONT: {
        if (!take(1))
            return failed(tooShort(1, left));
        const qsizetype count = quint8(b[pos]);
        if (!take(1 + count))
            return failed(QStringLiteral("a text of %1 bytes runs past the record").arg(count));
        value = text.text(b.sliced(pos + 1, count));
        pos += 1 + count;
        return true;
    }
    case FieldType::ASCII_TXT: {
        // Lines of font, byte count, text and 0x0D; the last ends in 0x0C.
        QStringList lines, lineFonts;
        qsizetype p = pos;
        bool single = false;
        for (;;) {
            if (b.size() - p < 3)
                return failed(QStringLiteral("a text line runs past the record"));
            const quint8 font = quint8(b[p]);
            const qsizetype count = quint8(b[p + 1]);
            if (b.size() - p < 3 + count)
                return failed(QStringLiteral("a text line of %1 bytes runs past the record").arg(count));
            const QByteArrayView line = b.sliced(p + 2, count);
            const quint8 end = quint8(b[p + 2 + count]);
            if (end != 0x0D && end != 0x0C)
                return failed(QStringLiteral("a text line does not end in 0D or 0C"));
            single = lines.isEmpty() && end == 0x0C && count == 1 && line[0] == 0;
            lines << text.text(line);
            lineFonts << QString::number(font);
            p += 3 + count;
            if (end == 0x0C)
                break;
        }
        // One line holding one NUL byte is how an empty text goes out.
        value = single ? QString() : lines.join(QLatin1Char('\r'));
        if (fonts)
            *fonts = lineFonts.join(QLatin1Char(','));
        pos = p;
        return true;
    }
    case FieldType::BCD_TIME: {
        if (n < 2)
            return failed(QStringLiteral("a time field needs 2 bytes"));
        if (!take(n))
            return failed(tooShort(n, left));
        if (!bcdFigures(b, pos, n, figures))
            return failed(QStringLiteral("not packed decimal figures"));
        const QByteArray lead = figures.left(figures.size() - 4);
        const int h = figures.mid(figures.size() - 4, 2).toInt();
        const int m = figures.right(2).toInt();
        if (lead.count('0') != lead.size() || h > 23 || m > 59)
            return failed(QStringLiteral("%1 is no time HHMM").arg(QString::fromLatin1(figures)));
        value = QTime(h, m).toString(QStringLiteral("HH:mm:ss"));
        pos += n;
        return true;
    }
    case FieldType::BCD_DATE: {
        if (n < 3)
            return failed(QStringLiteral("a date field needs 3 bytes"));
        if (!take(n))
            return failed(tooShort(n, left));
        if (!bcdFigures(b, pos, n, figures))
            return failed(QStringLiteral("not packed decimal figures"));
        const QByteArray lead = figures.left(figures.size() - 6);
        const QByteArray ddmmyy = figures.right(6);
        const int yy = ddmmyy.right(2).toInt();
        // The record keeps two figures of the year: 70-99 are read as 19xx
        // (the zero date 30.12.1899 of an empty column too), 00-69 as 20xx.
        const QDate d(yy >= 70 ? 1900 + yy : 2000 + yy, ddmmyy.mid(2, 2).toInt(), ddmmyy.left(2).toInt());
        if (lead.count('0') != lead.size() || !d.isValid())
            return failed(QStringLiteral("%1 is no date DDMMYY").arg(QString::fromLatin1(figures)));
        value = d.toString(QStringLiteral("yyyy-MM-dd"));
        pos += n;
        return true;
    }
    case FieldType::OTHER: {
        if (!take(n))
            return failed(tooShort(n, left));
        value = QString::fromLatin1(b.sliced(pos, n).toByteArray().toHex().toUpper());
        pos += n;
        return true;
    }
    case FieldType::Unknown:
        break;
    }
    return failed(QStringLiteral("unknown field type"));
}

std::optional<QByteArray> RecordData(QByteArrayView record)
{
    if (record.size() < 2)
        return std::nullopt;
    const qsizetype n = record.size() - 2;
    const qsizetype head = qMin<qsizetype>(n, 4);
    const int total = (quint8(record[head]) << 8) | quint8(record[head + 1]);
    if (total != record.size())
        return std::nullopt;
    QByteArray data;
    data.reserve(n);
    data.append(record.first(head));
    data.append(record.sliced(head + 2));
    return data;
}

QByteArray RecordFromData(QByteArrayView data)
{
    const qsizetype head = qMin<qsizetype>(data.size(), 4);
    const qsizetype total = data.size() + 2;
    QByteArray record;
    record.reserve(total);
    record.append(data.first(head));
    record.append(char((total >> 8) & 0xFF));
    record.append(char(total & 0xFF));
    record.append(data.sliced(head));
    return record;
}

QVariant DecodedRecord::value(const QString &column) const
{
    for (qsizetype i = 0; i < columns.size(); ++i) {
        if (columns.at(i).compare(column, Qt::CaseInsensitive) == 0)
            return values.value(i);
    }
    return {};
}

const DecodedField *DecodedRecord::field(const RecordLayout &layout, const QString &column) const
{
    for (const DecodedField &f : fields) {
        if (layout.fields.at(f.descriptor).Column.compare(column, Qt::CaseInsensitive) == 0)
            return &f;
    }
    return nullptr;
}

// ---------------------------------------------------------------------------

struct RecordDecoder::Impl {
    struct Plan {
        int desc = -1;
        FieldType type = FieldType::Unknown;
        qint16 length = 0;
        qint16 decimals = 0;
        Special special = Special::Plain;
        bool conditional = false;
        bool flagOne = false;
        int flagVar = -1;
        QString column, prevColumn;
        int col = -1, fontCol = -1; // output columns
    };
    // A status flag's bit: the column it sets, and whether the bit tells
    // that column's value (not when the flag is suppressed).
    struct FlagBit {
        int var = -1;
        bool tells = false;
    };
    struct Out {
        int plan;
        QVariant value;
        QString fonts;
        qsizetype offset, size;
    };
    struct Ctx {
        QByteArrayView data;
        QVector<qint8> known; // per flag column: -1 open, 0, 1
        QVector<QPair<int, qint8>> undo;
        QVector<Out> out;
        int steps = 0;
        bool gaveUp = false;
        qsizetype bestPos = -1;
        QString bestError;

        void fail(qsizetype pos, const QString &e)
        {
            if (pos > bestPos) {
                bestPos = pos;
                bestError = e;
            }
        }
        void set(int var, qint8 v)
        {
            undo.push_back({var, known[var]});
            known[var] = v;
        }
        QPair<qsizetype, qsizetype> mark() const { return {undo.size(), out.size()}; }
        void rollback(QPair<qsizetype, qsizetype> m)
        {
            while (undo.size() > m.first) {
                known[undo.last().first] = undo.last().second;
                undo.removeLast();
            }
            out.resize(m.second);
        }
    };

    Impl(const AppState &state, RecordLayout l) : layout(std::move(l)), text(state)
    {
        auto intern = [this](const QString &name) {
            const QString key = name.trimmed().toUpper();
            if (key.isEmpty())
                return -1;
            auto it = varIndex.constFind(key);
            if (it != varIndex.constEnd())
                return it.value();
            varNames << name.trimmed();
            varIndex.insert(key, int(varNames.size() - 1));
            return int(varNames.size() - 1);
        };
        for (const StatusFlag &f : std::as_const(layout.flags)) {
            FlagBit fb;
            if (f.Source == 1) {
                fb.var = intern(f.Name);
                fb.tells = f.Suppress == 0;
            }
            flagBits.push_back(fb);
        }
        for (int i = 0; i < layout.fields.size(); ++i) {
            const FieldDescriptor &d = layout.fields.at(i);
            if (d.Column.isEmpty() || d.Length <= 0)
                continue;
            Plan p;
            p.desc = i;
            p.type = ParseFieldType(d.Type);
            p.length = d.Length;
            p.decimals = p.type == FieldType::BCD_PRICE ? layout.priceDecimals : layout.weightDecimals;
            p.special = SpecialOf(d, p.type);
            p.conditional = d.Conditional != 0;
            p.flagOne = NumericPrefix(d.FlagSource) == 1.0;
            if (p.conditional)
                p.flagVar = intern(d.FlagColumn);
            p.column = d.Column;
            if (i > 0)
                p.prevColumn = layout.fields.at(i - 1).Column;
            plans.push_back(p);
        }
        // Output columns: fields in record order, then fonts, then flags.
        QHash<QString, int> index;
        auto column = [&](const QString &name) {
            const QString key = name.toUpper();
            auto it = index.constFind(key);
            if (it != index.constEnd())
                return it.value();
            columns << name;
            index.insert(key, int(columns.size() - 1));
            return int(columns.size() - 1);
        };
        for (Plan &p : plans) {
            if (p.special != Special::Status && p.special != Special::Status2 && p.special != Special::StatusB
                && p.special != Special::Status2B && p.special != Special::EanFlags)
                p.col = column(p.column);
        }
        for (Plan &p : plans) {
            if (p.special == Special::Text && !p.prevColumn.isEmpty())
                p.fontCol = column(p.prevColumn);
        }
        for (const QString &v : std::as_const(varNames))
            varCols << column(v);
    }

    static qsizetype recordOffset(qsizetype dataPos) { return dataPos < 4 ? dataPos : dataPos + 2; }

    bool walk(int i, qsizetype pos, Ctx &c) const
    {
        if (++c.steps > kMaxSteps) {
            c.gaveUp = true;
            return false;
        }
        if (i == plans.size()) {
            if (pos == c.data.size())
                return true;
            c.fail(pos, QStringLiteral("%1 bytes follow the last field").arg(c.data.size() - pos));
            return false;
        }
        const Plan &p = plans.at(i);
        if (!p.conditional)
            return present(i, pos, c);
        if (!p.flagOne)
            return walk(i + 1, pos, c);
        if (p.flagVar < 0) {
            // The builder cannot write a record of this layout.
            c.fail(pos, QStringLiteral("%1 has no flag column").arg(layout.fields.at(p.desc).Name));
            return false;
        }
        const qint8 k = c.known.at(p.flagVar);
        if (k == 0)
            return walk(i + 1, pos, c);
        if (k == 1)
            return present(i, pos, c);
        const auto m = c.mark();
        c.set(p.flagVar, 1);
        if (present(i, pos, c))
            return true;
        if (c.gaveUp)
            return false;
        c.rollback(m);
        c.set(p.flagVar, 0);
        if (walk(i + 1, pos, c))
            return true;
        c.rollback(m);
        return false;
    }

    // The status bits of a block agree with what is known and tell the rest.
    bool applyStatus(const Block &blk, qsizetype pos, Ctx &c) const
    {
        for (int n = 0; n < blk.count; ++n) {
            const quint8 byte = quint8(c.data[pos + n]);
            for (int j = 0; j < 8; ++j) {
                const int k = 8 * (blk.first + n) + j;
                if (k >= flagBits.size())
                    break;
                const FlagBit &fb = flagBits.at(k);
                if (!fb.tells)
                    continue; // flags without a column or suppressed say nothing
                const qint8 bit = qint8((byte >> j) & 1);
                const qint8 was = c.known.at(fb.var);
                if (was == -1)
                    c.set(fb.var, bit);
                else if (was != bit)
                    return false;
            }
        }
        return true;
    }

    bool present(int i, qsizetype pos, Ctx &c) const
    {
        const Plan &p = plans.at(i);
        const QString &name = layout.fields.at(p.desc).Name;
        const auto m = c.mark();
        auto failAt = [&](const QString &why) {
            c.fail(pos, QStringLiteral("%1 at byte %2: %3").arg(name).arg(recordOffset(pos)).arg(why));
            c.rollback(m);
            return false;
        };
        auto next = [&](qsizetype end, QVariant value = {}, QString fonts = {}) {
            c.out.push_back({i, std::move(value), std::move(fonts), pos, end - pos});
            if (walk(i + 1, end, c))
                return true;
            c.rollback(m);
            return false;
        };

        switch (p.special) {
        case Special::Status:
        case Special::Status2:
        case Special::StatusB:
        case Special::Status2B: {
            const Block blk = blockOf(p.special);
            const qsizetype size = blk.count + blk.filler;
            if (c.data.size() - pos < size)
                return failAt(tooShort(size, c.data.size() - pos));
            if (!applyStatus(blk, pos, c))
                return failAt(QStringLiteral("a status bit disagrees with the fields before it"));
            return next(pos + size);
        }
        case Special::EanFlags:
            return walk(i + 1, pos, c);
        case Special::EanData: {
            // Own barcode data: Length + 1 bytes of the field's type;
            // inherited: always 14 figures.
            struct Try {
                FieldType type;
                qint16 length;
            };
            QVector<Try> tries{{p.type, qint16(qMin(32767, p.length + 1))}};
            if (!(p.type == FieldType::BCD && p.length + 1 == kEanBytes))
                tries.push_back({FieldType::BCD, qint16(kEanBytes)});
            QString why;
            for (const Try &t : tries) {
                qsizetype end = pos;
                QVariant v;
                if (!DecodeFieldValue(text, t.type, t.length, p.decimals, c.data, end, v, nullptr, &why))
                    continue;
                // Barcode data keep their leading zeros.
                if (t.type == FieldType::BCD) {
                    QByteArray figures;
                    bcdFigures(c.data, pos, end - pos, figures);
                    v = QString::fromLatin1(figures);
                }
                if (next(end, v))
                    return true;
                if (c.gaveUp)
                    return false;
            }
            return why.isEmpty() ? false : failAt(why);
        }
        case Special::Discount: {
            qsizetype end = pos;
            QVariant v;
            QString why;
            if (!DecodeFieldValue(text, FieldType::OTHER, kDiscountBytes, 0, c.data, end, v, nullptr, &why))
                return failAt(why);
            return next(end, v);
        }
        case Special::Text: {
            if (p.prevColumn.isEmpty())
                return failAt(QStringLiteral("a text field needs its font field before it"));
            qsizetype end = pos;
            QVariant v;
            QString fonts, why;
            if (!DecodeFieldValue(text, FieldType::ASCII_TXT, p.length, 0, c.data, end, v, &fonts, &why))
                return failAt(why);
            return next(end, v, fonts);
        }
        case Special::LbFormat1: // read back as stored
        case Special::BarFormat:
        case Special::Plain: {
            qsizetype end = pos;
            QVariant v;
            QString why;
            if (!DecodeFieldValue(text, p.type, p.length, p.decimals, c.data, end, v, nullptr, &why))
                return failAt(why);
            return next(end, v);
        }
        }
        return false;
    }

    RecordLayout layout;
    TextDecoder text;
    QVector<Plan> plans;
    QVector<FlagBit> flagBits;
    QStringList varNames;
    QHash<QString, int> varIndex;
    QStringList columns;
    QVector<int> varCols;
};

RecordDecoder::RecordDecoder(const AppState &state, RecordLayout layout)
    : d(std::make_unique<Impl>(state, std::move(layout)))
{
}

RecordDecoder::~RecordDecoder() = default;

const RecordLayout &RecordDecoder::layout() const { return d->layout; }
const TextDecoder &RecordDecoder::textDecoder() const { return d->text; }
const QStringList &RecordDecoder::columns() const { return d->columns; }

std::optional<DecodedRecord> RecordDecoder::decode(QByteArrayView record, QString *error) const
{
    const std::optional<QByteArray> data = RecordData(record);
    if (!data) {
        if (error)
            *error = record.size() < 2 ? QStringLiteral("a record of %1 bytes is too short").arg(record.size())
                                       : QStringLiteral("the length bytes do not give the record's %1 bytes")
                                             .arg(record.size());
        return std::nullopt;
    }
    Impl::Ctx c;
    c.data = *data;
    c.known.fill(-1, d->varNames.size());
    c.out.reserve(d->plans.size());
    c.undo.reserve(2 * d->varNames.size());
    if (!d->walk(0, 0, c)) {
        if (error)
            *error = c.gaveUp ? QStringLiteral("the record allows too many readings")
                              : c.bestError.isEmpty() ? QStringLiteral("the record does not fit the layout")
                                                      : c.bestError;
        return std::nullopt;
    }

    DecodedRecord r;
    r.columns = d->columns;
    r.values.resize(d->columns.size());
    r.fields.reserve(c.out.size());
    for (const Impl::Out &o : std::as_const(c.out)) {
        const Impl::Plan &p = d->plans.at(o.plan);
        r.fields.push_back({p.desc, o.offset, o.size});
        if (p.col >= 0)
            r.values[p.col] = o.value;
        if (p.fontCol >= 0)
            r.values[p.fontCol] = o.fonts;
    }
    // Flags and flag columns: what the bits said or the reading took; a flag
    // whose byte the record does not hold is off. A field of the same name
    // keeps its own value.
    for (int v = 0; v < d->varNames.size(); ++v) {
        QVariant &slot = r.values[d->varCols.at(v)];
        if (!slot.isValid())
            slot = qlonglong(c.known.at(v) == 1 ? 1 : 0);
    }
    return r;
}

} // namespace korvo
