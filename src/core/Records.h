#pragma once
// Plain records shared by several subsystems. They live here so that the
// application state can own them without core depending on the folders that
// fill them.

#include <QHash>
#include <QString>
#include <QVector>
#include <array>
#include <cstdint>

namespace korvo {

// One used scale printer font (FONTS with IsUsed).
struct ScaleFont {
    int Font_Code = 0;
    QString Font_Name;
    int Font_Numbers = 0;
    int Font_Weight = 0;
    int Font_Height = 0;
};

// One line of PLU.dsc or DISCOUNT.dsc.
struct FieldDescriptor {
    QString Name;
    qint16 Length = 0;
    QString Type;
    qint16 Conditional = 0;
    QString FlagColumn;
    QString FlagSource; // "1" or "0"
    QString Column;
    QString ImportKind;
    int Line = 0; // line of the file it was read from, for reports
};

// One line of PLU_STATUS.dsc as the encoder reads it.
struct StatusFlag {
    QString Name;
    qint16 Source = 0;
    qint16 Value = 0;
    qint16 Suppress = 0;
    int Line = 0; // line of the file it was read from, for reports
};

// Resolved label, barcode and flag settings of one main group.
struct MGSettings {
    qint16 MG_No = 0;
    qint16 Flag1 = 0;
    qint16 Flag2 = 0;
    qint16 BarFlag = 0;
    qint16 BarFormat = 0;
    QString Bar_Type;
    qint16 LabFormat = 0;
};

// A used barcode format as the encoder needs it.
struct ScaleBarcode {
    qint16 BAR_Code = 0;
    QString BAR_Type;
    qint16 ItemNum = 0;
    QString FlagStat;
    qint16 DigitalNum = 0;
};

// A used barcode format as the dialogs offer it.
struct BarcodeListEntry {
    qint32 BAR_Code = 0;
    qint32 ItemNum = 0;
    qint32 DigitalNum = 0;
    QString EAN_Data;
    QString Descriptions;
    QString BAR_Type;
    QString FlagStat;
};

struct DiscountData {
    qint32 PLU_No = 0;
    QString Block; // hexadecimal text
};

// Byte 128..255 of a source code page -> byte of the target code page.
using CodepageTable = std::array<quint8, 128>;

// Encoder working tables. Vectors are 0-based in C++; the index maps hold
// 0-based positions too.
struct EncodingTables {
    QVector<FieldDescriptor> fieldDescs;
    QHash<QString, int> fieldDescIndex; // upper-cased Name -> position
    QVector<StatusFlag> statusFlags;
    QVector<MGSettings> mgSettings;
    QHash<int, int> mgIndex; // MG_No -> position
    bool mgSettingsLoaded = false;
    QVector<ScaleBarcode> scaleBarcodes;
    QHash<QString, int> scaleBarcodeIndex; // "3_EAN" -> position
    QVector<BarcodeListEntry> barcodeList;
    QVector<DiscountData> discountData;
    QHash<qint32, int> discountIndex;
    qint16 priceDecimals = 0;
    qint16 weightDecimals = 0;
    // Status blocks of the PLU being encoded.
    QString statusBlock, statusBlockB, status2Block, status2BlockB;
};

} // namespace korvo
