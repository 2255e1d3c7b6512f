#pragma once
// The descriptor names the builder and the decoder treat apart from plain
// values, recognised by one rule for both so that a record always reads
// back the way it was built.

#include "encoding/DescriptorFiles.h"
#include "encoding/FieldCodec.h"

namespace korvo {

enum class Special {
    Plain,
    Text,
    Status,
    Status2,
    StatusB,
    Status2B,
    EanFlags,
    LbFormat1, // -1 takes the main group's value
    BarFormat, // -1 takes the main group's value
    EanData,
    Discount
};

// Each special name counts only in its branch: the status bytes and the EAN
// flags without a condition, the others with one.
Special SpecialOf(const FieldDescriptor &d, FieldType type);

} // namespace korvo
