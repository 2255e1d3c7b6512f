// Fuzz target: whatever a scale sends as a PLU record, decoded through the
// delivered descriptor files, and every field type read from the same bytes.
// It must never crash or run long; a record that does not fit is refused.

#include "core/AppState.h"
#include "encoding/DescriptorFiles.h"
#include "encoding/RecordDecoder.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

using namespace korvo;

namespace {

struct Fixture {
    AppState state;
    std::unique_ptr<RecordDecoder> decoder;
};

Fixture *fixture = nullptr; // built once for the whole run

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fixture = new Fixture;
    AppState &state = fixture->state;
    state.enc.priceDecimals = 2;
    state.enc.weightDecimals = 3;
    if (!ReadZentStatFile(state, QStringLiteral(":/data/desc/PLU_STATUS.dsc"))
        || !ReadZentPLUDescFile(state, QStringLiteral(":/data/desc/PLU.dsc")))
        std::abort(); // the layout must be there, or nothing is fuzzed
    RecordLayout layout{state.enc.fieldDescs, state.enc.statusFlags, 2, 3};
    fixture->decoder = std::make_unique<RecordDecoder>(state, std::move(layout));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QString error;
    (void)fixture->decoder->decode(bytes, &error);
    if (size > 1) {
        // Every field type at every length the first byte gives.
        const qint16 length = qint16(data[0] % 40);
        for (int t = int(FieldType::BCD); t <= int(FieldType::OTHER); ++t) {
            qsizetype pos = 1;
            QVariant value;
            QString fonts;
            (void)DecodeFieldValue(fixture->decoder->textDecoder(), FieldType(t), length, 2, bytes, pos, value,
                                   &fonts, &error);
        }
    }
    return 0;
}
