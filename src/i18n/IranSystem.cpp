#include "i18n/IranSystem.h"

#include <QVector>
#include <algorithm>

namespace korvo {

namespace {

// Iran System is the DOS-era Farsi code page of Iranian point-of-sale and
// scale devices: ASCII below 0x80, and above it one byte per letter *form*
// (the glyph shaping is done by the sender, not by the device). The bytes
// below follow the published Iran System chart for 0x80-0xFF:
//   80-89 Farsi digits 0-9, 8A "،", 8B tatweel, 8C "؟", 8D alef madda,
//   8E yeh-hamza initial, 8F hamza, 90-AF and E0-FE the letter forms,
//   B0-DF box drawing as in DOS 437, FF no-break space.
// Most letters have two forms there: "isolated/final" (does not connect to
// the next letter) and "initial/medial" (connects to it); ain and ghain have
// all four, heh three and yeh three.

enum class Joining { None, Right, Dual, Causing };

struct Letter {
    char16_t code;
    Joining joining;
    quint8 isolated, final, initial, medial;
};

// clang-format off
constexpr Letter kLetters[] = {
    {0x0621, Joining::None,  0x8F, 0x8F, 0x8F, 0x8F}, // hamza
    {0x0622, Joining::Right, 0x8D, 0x8D, 0x8D, 0x8D}, // alef madda
    {0x0623, Joining::Right, 0x90, 0x91, 0x90, 0x91}, // alef hamza above
    {0x0624, Joining::Right, 0xF8, 0xF8, 0xF8, 0xF8}, // waw hamza
    {0x0625, Joining::Right, 0x90, 0x91, 0x90, 0x91}, // alef hamza below
    {0x0626, Joining::Dual,  0xFD, 0xFC, 0x8E, 0x8E}, // yeh hamza
    {0x0627, Joining::Right, 0x90, 0x91, 0x90, 0x91}, // alef
    {0x0628, Joining::Dual,  0x92, 0x92, 0x93, 0x93}, // beh
    {0x0629, Joining::Right, 0xF9, 0xF9, 0xF9, 0xF9}, // teh marbuta, as heh
    {0x062A, Joining::Dual,  0x96, 0x96, 0x97, 0x97}, // teh
    {0x062B, Joining::Dual,  0x98, 0x98, 0x99, 0x99}, // theh
    {0x062C, Joining::Dual,  0x9A, 0x9A, 0x9B, 0x9B}, // jeem
    {0x062D, Joining::Dual,  0x9E, 0x9E, 0x9F, 0x9F}, // hah
    {0x062E, Joining::Dual,  0xA0, 0xA0, 0xA1, 0xA1}, // khah
    {0x062F, Joining::Right, 0xA2, 0xA2, 0xA2, 0xA2}, // dal
    {0x0630, Joining::Right, 0xA3, 0xA3, 0xA3, 0xA3}, // thal
    {0x0631, Joining::Right, 0xA4, 0xA4, 0xA4, 0xA4}, // reh
    {0x0632, Joining::Right, 0xA5, 0xA5, 0xA5, 0xA5}, // zain
    {0x0633, Joining::Dual,  0xA7, 0xA7, 0xA8, 0xA8}, // seen
    {0x0634, Joining::Dual,  0xA9, 0xA9, 0xAA, 0xAA}, // sheen
    {0x0635, Joining::Dual,  0xAB, 0xAB, 0xAC, 0xAC}, // sad
    {0x0636, Joining::Dual,  0xAD, 0xAD, 0xAE, 0xAE}, // dad
    {0x0637, Joining::Dual,  0xAF, 0xAF, 0xAF, 0xAF}, // tah
    {0x0638, Joining::Dual,  0xE0, 0xE0, 0xE0, 0xE0}, // zah
    {0x0639, Joining::Dual,  0xE1, 0xE2, 0xE4, 0xE3}, // ain
    {0x063A, Joining::Dual,  0xE5, 0xE6, 0xE8, 0xE7}, // ghain
    {0x0640, Joining::Causing, 0x8B, 0x8B, 0x8B, 0x8B}, // tatweel
    {0x0641, Joining::Dual,  0xE9, 0xE9, 0xEA, 0xEA}, // feh
    {0x0642, Joining::Dual,  0xEB, 0xEB, 0xEC, 0xEC}, // qaf
    {0x0643, Joining::Dual,  0xED, 0xED, 0xEE, 0xEE}, // Arabic kaf, as keheh
    {0x0644, Joining::Dual,  0xF1, 0xF1, 0xF3, 0xF3}, // lam
    {0x0645, Joining::Dual,  0xF4, 0xF4, 0xF5, 0xF5}, // meem
    {0x0646, Joining::Dual,  0xF6, 0xF6, 0xF7, 0xF7}, // noon
    {0x0647, Joining::Dual,  0xF9, 0xF9, 0xFB, 0xFA}, // heh
    {0x0648, Joining::Right, 0xF8, 0xF8, 0xF8, 0xF8}, // waw
    {0x0649, Joining::Dual,  0xFD, 0xFC, 0xFE, 0xFE}, // alef maksura, as yeh
    {0x064A, Joining::Dual,  0xFD, 0xFC, 0xFE, 0xFE}, // Arabic yeh, as Farsi yeh
    {0x067E, Joining::Dual,  0x94, 0x94, 0x95, 0x95}, // peh
    {0x0686, Joining::Dual,  0x9C, 0x9C, 0x9D, 0x9D}, // tcheh
    {0x0698, Joining::Right, 0xA6, 0xA6, 0xA6, 0xA6}, // jeh
    {0x06A9, Joining::Dual,  0xED, 0xED, 0xEE, 0xEE}, // keheh
    {0x06AF, Joining::Dual,  0xEF, 0xEF, 0xF0, 0xF0}, // gaf
    {0x06CC, Joining::Dual,  0xFD, 0xFC, 0xFE, 0xFE}, // Farsi yeh
};
// clang-format on

constexpr quint8 kLamAlef = 0xF2;
constexpr quint8 kDigitZero = 0x80;
constexpr quint8 kArabicComma = 0x8A;
constexpr quint8 kArabicQuestion = 0x8C;
constexpr quint8 kNoBreakSpace = 0xFF;

const Letter *findLetter(char16_t c)
{
    const auto *end = std::end(kLetters);
    const auto *it = std::lower_bound(std::begin(kLetters), end, c,
                                      [](const Letter &l, char16_t v) { return l.code < v; });
    return it != end && it->code == c ? it : nullptr;
}

bool isAlef(char16_t c) { return c == 0x0627 || c == 0x0623 || c == 0x0625; }

// Harakat and the superscript alef: no glyph on the device and no effect on
// joining.
bool isTransparentMark(char16_t c) { return (c >= 0x064B && c <= 0x0652) || c == 0x0670; }

int digitValue(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= 0x06F0 && c <= 0x06F9)
        return c - 0x06F0;
    if (c >= 0x0660 && c <= 0x0669)
        return c - 0x0660;
    return -1;
}

enum class Dir { L, R, Number, Neutral };

// One character of the input after shaping decisions; a lam-alef pair is one.
struct Item {
    const Letter *letter = nullptr; // a Farsi letter, shaped below
    bool lamAlef = false;
    Joining joining = Joining::None; // zero-width joiners have no output
    bool hasOutput = true;
    quint8 byte = '?';
    Dir dir = Dir::Neutral;
};

bool joinsLeft(const Item &i) { return i.joining == Joining::Dual || i.joining == Joining::Causing; }
bool joinsRight(const Item &i) { return i.joining != Joining::None; }

QVector<Item> tokenize(const QString &text)
{
    QVector<Item> items;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (isTransparentMark(c))
            continue;
        Item it;
        if (c == 0x0644) {
            // Lam followed by alef (marks in between allowed) is the ligature.
            qsizetype j = i + 1;
            while (j < text.size() && isTransparentMark(text.at(j).unicode()))
                ++j;
            if (j < text.size() && isAlef(text.at(j).unicode())) {
                it.lamAlef = true;
                it.joining = Joining::Right; // joins the letter before, never the one after
                it.byte = kLamAlef;
                it.dir = Dir::R;
                items.append(it);
                i = j;
                continue;
            }
        }
        if (const Letter *l = findLetter(c)) {
            it.letter = l;
            it.joining = l->joining;
            it.dir = Dir::R;
        } else if (const int d = digitValue(c); d >= 0) {
            it.byte = quint8(kDigitZero + d);
            it.dir = Dir::Number;
        } else if (c == 0x200C) { // zero-width non-joiner
            it.hasOutput = false;
        } else if (c == 0x200D) { // zero-width joiner
            it.hasOutput = false;
            it.joining = Joining::Causing;
        } else if (c == 0x060C) {
            it.byte = kArabicComma;
            it.dir = Dir::R;
        } else if (c == 0x061F) {
            it.byte = kArabicQuestion;
            it.dir = Dir::R;
        } else if (c == 0x061B) {
            it.byte = ';';
            it.dir = Dir::R;
        } else if (c == 0x066B) { // Arabic decimal separator
            it.byte = '.';
        } else if (c == 0x066C) { // Arabic thousands separator
            it.byte = ',';
        } else if (c == 0x00A0) {
            it.byte = kNoBreakSpace;
        } else if (c < 0x80) {
            it.byte = quint8(c);
            if ((c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'))
                it.dir = Dir::L;
        } else {
            it.byte = '?';
            // A character beyond the code page still keeps its place; a
            // surrogate pair is one character.
            if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
                ++i;
        }
        items.append(it);
    }
    return items;
}

void shape(QVector<Item> &items)
{
    for (qsizetype i = 0; i < items.size(); ++i) {
        Item &it = items[i];
        if (!it.letter)
            continue;
        const bool prev = i > 0 && joinsLeft(items.at(i - 1)) && joinsRight(it);
        const bool next = i + 1 < items.size() && joinsLeft(it) && joinsRight(items.at(i + 1));
        it.byte = prev ? (next ? it.letter->medial : it.letter->final)
                       : (next ? it.letter->initial : it.letter->isolated);
    }
}

quint8 mirrored(quint8 b)
{
    switch (b) {
    case '(': return ')';
    case ')': return '(';
    case '[': return ']';
    case ']': return '[';
    case '{': return '}';
    case '}': return '{';
    case '<': return '>';
    case '>': return '<';
    default: return b;
    }
}

// The devices print bytes left to right as they come and know nothing of
// text direction, so the bytes must already be in visual order. This is the
// core of the bidirectional algorithm for plain text without embeddings:
// the first strong letter gives the line's direction, numbers keep their
// left-to-right digit order, neutrals between two runs of one direction take
// it, and each right-to-left run is reversed with its brackets mirrored.
QByteArray visualOrder(const QVector<Item> &items)
{
    QVector<const Item *> units;
    for (const Item &it : items) {
        if (it.hasOutput)
            units.append(&it);
    }
    const qsizetype n = units.size();
    Dir para = Dir::L;
    for (const Item *u : units) {
        if (u->dir == Dir::L || u->dir == Dir::R) {
            para = u->dir;
            break;
        }
    }

    // Resolved direction per unit: L, R or Number (a number after a strong L,
    // or at the start of a left-to-right line, is plain L).
    QVector<Dir> dir(n);
    Dir lastStrong = para;
    for (qsizetype i = 0; i < n; ++i) {
        dir[i] = units.at(i)->dir;
        if (dir[i] == Dir::L || dir[i] == Dir::R)
            lastStrong = dir[i];
        else if (dir[i] == Dir::Number && lastStrong == Dir::L)
            dir[i] = Dir::L;
    }
    auto strongOf = [](Dir d) { return d == Dir::Number ? Dir::R : d; };
    for (qsizetype i = 0; i < n;) {
        if (dir[i] != Dir::Neutral) {
            ++i;
            continue;
        }
        qsizetype j = i;
        while (j < n && dir[j] == Dir::Neutral)
            ++j;
        const Dir before = i > 0 ? strongOf(dir[i - 1]) : para;
        const Dir after = j < n ? strongOf(dir[j]) : para;
        const Dir d = before == after ? before : para;
        for (qsizetype k = i; k < j; ++k)
            dir[k] = d;
        i = j;
    }

    QVector<int> level(n);
    int maxLevel = 0;
    for (qsizetype i = 0; i < n; ++i) {
        if (para == Dir::L)
            level[i] = dir[i] == Dir::L ? 0 : dir[i] == Dir::R ? 1 : 2;
        else
            level[i] = dir[i] == Dir::R ? 1 : 2;
        maxLevel = std::max(maxLevel, level[i]);
    }

    QByteArray out;
    out.reserve(n);
    for (qsizetype i = 0; i < n; ++i)
        out.append(char(level[i] % 2 ? mirrored(units.at(i)->byte) : units.at(i)->byte));
    for (int lv = maxLevel; lv >= 1; --lv) {
        for (qsizetype i = 0; i < n;) {
            if (level[i] < lv) {
                ++i;
                continue;
            }
            qsizetype j = i;
            while (j < n && level[j] >= lv)
                ++j;
            std::reverse(out.begin() + i, out.begin() + j);
            std::reverse(level.begin() + i, level.begin() + j);
            i = j;
        }
    }
    return out;
}

} // namespace

QByteArray Uni2IrSys(const QString &text)
{
    QVector<Item> items = tokenize(text);
    shape(items);
    return visualOrder(items);
}

} // namespace korvo
