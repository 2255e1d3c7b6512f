// Fuzz target: any bytes as one of the three descriptor files, read by its
// reader and judged by its check. It must never crash or run long; a bad
// line is refused and leaves only the entries read before it.

#include "core/AppState.h"
#include "encoding/DescriptorFiles.h"

#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace korvo;

namespace {

struct Fixture {
    QTemporaryDir dir;
    QString path;
    QSet<QString> pluColumns, discountColumns;
    AppState delivered; // status flags of the delivered file, for PLU.dsc
};

Fixture *fixture = nullptr; // built once for the whole run

QSet<QString> columnsOf(const QVector<FieldDescriptor> &fields)
{
    QSet<QString> out;
    for (const FieldDescriptor &f : fields)
        out.insert(f.Column.toUpper());
    return out;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fixture = new Fixture;
    if (!fixture->dir.isValid())
        std::abort();
    fixture->path = fixture->dir.filePath(QStringLiteral("FUZZ.dsc"));
    AppState &state = fixture->delivered;
    if (!ReadZentStatFile(state, QStringLiteral(":/data/desc/PLU_STATUS.dsc"))
        || !ReadZentPLUDescFile(state, QStringLiteral(":/data/desc/PLU.dsc")))
        std::abort(); // the delivered files must read, or nothing is fuzzed
    fixture->pluColumns = columnsOf(state.enc.fieldDescs);
    AppState discount;
    if (!ReadZentFixedDescFile(discount, QStringLiteral(":/data/desc/DISCOUNT.dsc")))
        std::abort();
    fixture->discountColumns = columnsOf(discount.enc.fieldDescs);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    QFile f(fixture->path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || f.write(reinterpret_cast<const char *>(data) + 1, qint64(size) - 1) != qint64(size) - 1)
        std::abort();
    f.close();

    // The first byte picks the file the bytes stand for.
    AppState state;
    switch (data[0] % 3) {
    case 0:
        if (ReadZentStatFile(state, fixture->path))
            (void)CheckStatusFlags(state, fixture->path, fixture->pluColumns);
        break;
    case 1:
        state.enc.statusFlags = fixture->delivered.enc.statusFlags;
        if (ReadZentPLUDescFile(state, fixture->path))
            (void)CheckPluDescriptors(state, fixture->path, fixture->pluColumns);
        break;
    default:
        if (ReadZentFixedDescFile(state, fixture->path))
            (void)CheckDiscountDescriptors(state, fixture->path, fixture->discountColumns);
        break;
    }
    // Every entry kept comes from a line of the file, in file order.
    int line = 0;
    for (const FieldDescriptor &d : std::as_const(state.enc.fieldDescs)) {
        if (d.Line <= line)
            std::abort();
        line = d.Line;
    }
    (void)SplitDescriptorLines(ReadFile(state, fixture->path));
    return 0;
}
