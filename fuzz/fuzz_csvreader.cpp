// The CSV line reader on any text: it ends, moves forward with every record,
// and every value it reads comes back the same when quoted and read again.

#include "exchange/CsvText.h"

#include <QStringList>
#include <cstdint>
#include <cstdlib>

using namespace korvo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    CsvReader reader(text);
    CsvRecord rec;
    QStringList values;
    qsizetype last = 0;
    while (reader.next(rec)) {
        if (reader.position() <= last && reader.position() < text.size())
            std::abort(); // a record that consumed nothing would loop forever
        last = reader.position();
        if (rec.fields.isEmpty())
            std::abort();
        for (const CsvField &f : std::as_const(rec.fields)) {
            // A value lies inside the text read or in the record's own storage.
            values << f.text.toString();
        }
    }
    if (values.isEmpty())
        return 0;

    QStringList quoted;
    for (const QString &v : std::as_const(values))
        quoted << CsvQuote(v);
    const QString line = quoted.join(u',') + QStringLiteral("\r\n");
    CsvReader again(line);
    if (!again.next(rec) || rec.fields.size() != values.size())
        std::abort();
    for (qsizetype i = 0; i < values.size(); ++i) {
        if (!rec.fields.at(i).quoted || rec.fields.at(i).text != values.at(i))
            std::abort();
    }
    if (again.next(rec) || !again.error().isEmpty())
        std::abort();
    return 0;
}
