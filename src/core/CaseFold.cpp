#include "core/CaseFold.h"

#include <QChar>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QVariant>

#include <sqlite3.h>

#include <memory>
#include <string>
#include <string_view>

namespace korvo {

namespace {

// Writes c as UTF-8 at o; returns the end.
char *putUtf8(char *o, char32_t c)
{
    if (c < 0x80) {
        *o++ = char(c);
    } else if (c < 0x800) {
        *o++ = char(0xC0 | (c >> 6));
        *o++ = char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *o++ = char(0xE0 | (c >> 12));
        *o++ = char(0x80 | ((c >> 6) & 0x3F));
        *o++ = char(0x80 | (c & 0x3F));
    } else {
        *o++ = char(0xF0 | (c >> 18));
        *o++ = char(0x80 | ((c >> 12) & 0x3F));
        *o++ = char(0x80 | ((c >> 6) & 0x3F));
        *o++ = char(0x80 | (c & 0x3F));
    }
    return o;
}

// Length of the well-formed sequence at s (n bytes left) and its code
// point; 0 for a byte that starts none.
int decodeUtf8(const unsigned char *s, size_t n, char32_t *cp)
{
    const unsigned char b = s[0];
    int len = 0;
    char32_t c = 0;
    if (b >= 0xC2 && b <= 0xDF) {
        len = 2;
        c = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
        len = 3;
        c = b & 0x0F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        len = 4;
        c = b & 0x07;
    } else {
        return 0;
    }
    if (size_t(len) > n)
        return 0;
    for (int i = 1; i < len; ++i) {
        if ((s[i] & 0xC0) != 0x80)
            return 0;
        c = (c << 6) | (s[i] & 0x3F);
    }
    // Overlong forms, surrogates and values past Unicode are no characters.
    if ((len == 3 && c < 0x800) || (len == 4 && (c < 0x10000 || c > 0x10FFFF))
        || (c >= 0xD800 && c <= 0xDFFF))
        return 0;
    *cp = c;
    return len;
}

// Folds n bytes of UTF-8 at s into the start of buf; returns the folded
// length. Runs once per row of a search, so it writes without checks: a
// folded character never takes more than twice its bytes.
size_t foldInto(const unsigned char *s, size_t n, std::string &buf)
{
    if (buf.size() < 2 * n)
        buf.resize(2 * n);
    char *const begin = buf.data();
    char *o = begin;
    for (size_t i = 0; i < n;) {
        const unsigned char b = s[i];
        if (b < 0x80) {
            *o++ = char(unsigned(b - 'A') < 26u ? b + ('a' - 'A') : b);
            ++i;
            continue;
        }
        char32_t cp = 0;
        const int len = decodeUtf8(s + i, n - i, &cp);
        if (len == 0) {
            *o++ = char(b);
            ++i;
            continue;
        }
        o = putUtf8(o, QChar::toCaseFolded(cp));
        i += size_t(len);
    }
    return size_t(o - begin);
}

void deleteFolded(void *p) { delete static_cast<std::string *>(p); }

std::string_view foldValue(sqlite3_value *v, std::string &buf)
{
    const unsigned char *text = sqlite3_value_text(v); // before the length: it may convert
    // Folded first: folding may move the buffer, so its address is taken after.
    const size_t n = foldInto(text, text ? size_t(sqlite3_value_bytes(v)) : 0, buf);
    return std::string_view(buf.data(), n);
}

void containsFolded(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_int(ctx, 0);
        return;
    }
    // The part is the same for every row of a statement: fold it once and
    // hand it to SQLite last, which may free it at once.
    const auto *part = static_cast<const std::string *>(sqlite3_get_auxdata(ctx, 1));
    std::unique_ptr<std::string> fresh;
    if (!part) {
        fresh = std::make_unique<std::string>();
        fresh->resize(foldValue(argv[1], *fresh).size());
        part = fresh.get();
    }
    thread_local std::string buf;
    sqlite3_result_int(ctx, foldValue(argv[0], buf).find(*part) != std::string_view::npos);
    if (fresh)
        sqlite3_set_auxdata(ctx, 1, fresh.release(), deleteFolded);
}

} // namespace

bool RegisterFoldFunctions(const QSqlDatabase &db)
{
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return false;
    sqlite3 *conn = *static_cast<sqlite3 *const *>(handle.constData());
    return conn
        && sqlite3_create_function_v2(conn, "ContainsFolded", 2,
                                      SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS, nullptr,
                                      &containsFolded, nullptr, nullptr, nullptr)
        == SQLITE_OK;
}

} // namespace korvo
