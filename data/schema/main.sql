-- Main database of Korvo 2005: hierarchy, articles, discounts, scales,
-- received articles and the reference lists.
-- Texts compare without regard to case, as the shop's data always did.
-- Booleans are 0/1, dates 'YYYY-MM-DD', times 'HH:MM:SS'.
-- No foreign keys: a CSV import may bring PLUs of main groups that are
-- created only afterwards.

-- The one store, its departments and their main groups. BarFormat -1 in
-- DEPT or MG passes all six label and barcode settings to the level above.
CREATE TABLE STORE (
    ST_No INTEGER PRIMARY KEY,
    ST_Name TEXT COLLATE NOCASE,
    Flag1 INTEGER,
    Flag2 INTEGER,
    BarFlag INTEGER,
    BarFormat INTEGER,
    Bar_Type TEXT COLLATE NOCASE,
    LabFormat INTEGER
);

CREATE TABLE DEPT (
    DP_No INTEGER PRIMARY KEY,
    DP_Name TEXT COLLATE NOCASE,
    ST_No INTEGER,
    Flag1 INTEGER,
    Flag2 INTEGER,
    BarFlag INTEGER,
    BarFormat INTEGER,
    Bar_Type TEXT COLLATE NOCASE,
    LabFormat INTEGER
);

CREATE TABLE MG (
    MG_No INTEGER PRIMARY KEY,
    DP_No INTEGER,
    MG_Name TEXT COLLATE NOCASE,
    Flag1 INTEGER,
    Flag2 INTEGER,
    BarFlag INTEGER,
    BarFormat INTEGER,
    Bar_Type TEXT COLLATE NOCASE,
    LabFormat INTEGER
);

CREATE INDEX MG_DP_No ON MG (DP_No);

-- One article. The 76 columns follow the PLU field table. PLU numbers are
-- 1 to 999999, the six figures the scales and the editor know. Day counts
-- (PLU_SBDate, PLU_UBDate, PLU_PAKDate) are numbers, PLU_Tare is whole
-- grams, the tray tares PLU_1stTare and PLU_2ndTare are kilograms.
-- The Stat columns are the Yes/No status flags of the scale record,
-- ZentBinData the encoded record as hexadecimal text.
CREATE TABLE PLU (
    PLU_No INTEGER PRIMARY KEY CHECK (PLU_No BETWEEN 1 AND 999999),
    PLU_ItemCode TEXT COLLATE NOCASE,
    PLU_UPrice REAL,
    PLU_LBFormat1 INTEGER,
    PLU_LBFormat2 INTEGER,
    PLU_BarFormat INTEGER,
    PLU_EANData TEXT COLLATE NOCASE,
    PLU_MG INTEGER,
    PLU_SBDate INTEGER,
    PLU_SBTime TEXT COLLATE NOCASE,
    PLU_UBDate INTEGER,
    PLU_PAKDate INTEGER,
    PLU_PAKTime TEXT COLLATE NOCASE,
    PLU_Cost REAL,
    PLU_Tare INTEGER,
    PLU_QTY INTEGER,
    PLU_QTYSymbol INTEGER,
    PLU_SPMessageNo INTEGER,
    PLU_IngredientNo INTEGER,
    PLU_PlaceNo INTEGER,
    PLU_Image1 INTEGER,
    PLU_Image2 INTEGER,
    PLU_Image3 INTEGER,
    PLU_Image4 INTEGER,
    PLU_Image5 INTEGER,
    PLU_Image6 INTEGER,
    PLU_Image7 INTEGER,
    PLU_Image8 INTEGER,
    PLU_Image9 INTEGER,
    PLU_Image10 INTEGER,
    PLU_2NDPrice REAL,
    PLU_2NDQTY INTEGER,
    PLU_CPLUPreset TEXT COLLATE NOCASE,
    PLU_BonusPoint INTEGER,
    PLU_REPLUNo INTEGER,
    PLU_DisDayOfWeek INTEGER,
    PLU_CoupledPLUNo INTEGER,
    PLU_TAXNo INTEGER,
    PLU_PerTare INTEGER,
    PLU_CustomerDis INTEGER,
    PLU_RestPrice REAL,
    PLU_StaffDis INTEGER,
    PLU_2NDQTYSymbol INTEGER,
    PLU_Traceability INTEGER,
    PLU_TraceabilityL INTEGER,
    PLU_GroupCode INTEGER,
    PLU_ST1stLimit INTEGER,
    PLU_ST2ndLimit INTEGER,
    PLU_PAKIndicator INTEGER,
    PLU_MultiBar1 TEXT COLLATE NOCASE,
    PLU_MultiBar2 TEXT COLLATE NOCASE,
    PLU_TMultiBar1 TEXT COLLATE NOCASE,
    PLU_TMultiBar2 TEXT COLLATE NOCASE,
    PLU_Scroll INTEGER,
    PLU_LText1No INTEGER,
    PLU_LText2No INTEGER,
    PLU_LText3No INTEGER,
    PLU_LText4No INTEGER,
    PLU_LText5No INTEGER,
    PLU_1stTare REAL,
    PLU_2ndTare REAL,
    PLU_LTray1 INTEGER,
    PLU_LTray2 INTEGER,
    PLU_LTray3 INTEGER,
    PLU_ESPMessageNo INTEGER,
    PLU_EIngredientNo INTEGER,
    PLU_Disount TEXT COLLATE NOCASE,
    PLU_Nutrition TEXT COLLATE NOCASE,
    PLU_CommFonts TEXT COLLATE NOCASE,
    PLU_Commodity TEXT COLLATE NOCASE,
    PLU_IngreFonts TEXT COLLATE NOCASE,
    PLU_Ingredient TEXT COLLATE NOCASE,
    PLU_SPMFonts TEXT COLLATE NOCASE,
    PLU_SPMessage TEXT COLLATE NOCASE,
    PLU_UPDate TEXT COLLATE NOCASE,
    PLU_UPTime TEXT COLLATE NOCASE,
    Stat1_Unit INTEGER DEFAULT 0,
    Stat1_SBDate INTEGER DEFAULT 0,
    Stat1_UBDate INTEGER DEFAULT 0,
    Stat1_PKDate INTEGER DEFAULT 0,
    Stat1_RTCPKTime INTEGER DEFAULT 0,
    Stat1_SBTime INTEGER DEFAULT 0,
    Stat1_PKTime INTEGER DEFAULT 0,
    Stat1_RTCSBTime INTEGER DEFAULT 0,
    Stat1_PBPreUnit INTEGER DEFAULT 0,
    Stat2_PLUStatB2B INTEGER DEFAULT 0,
    Stat2_Discount INTEGER DEFAULT 0,
    Stat1_Commodity INTEGER DEFAULT 0,
    Stat1_Ingredient INTEGER DEFAULT 0,
    Stat1_SPMessage INTEGER DEFAULT 0,
    Stat1_Traceability INTEGER DEFAULT 0,
    Stat1_LabelFormat INTEGER DEFAULT 0,
    Stat1_Barcode INTEGER DEFAULT 0,
    Stat1_EANFlags INTEGER DEFAULT 0,
    Stat1_PriceChange INTEGER DEFAULT 0,
    Stat1_TareChange INTEGER DEFAULT 0,
    Stat1_FixedWeight INTEGER DEFAULT 0,
    Stat1_ManualWeight INTEGER DEFAULT 0,
    Stat1_PrintOrigin INTEGER DEFAULT 0,
    Stat2_2ndPrice INTEGER DEFAULT 0,
    Stat2_MultiBarcode INTEGER DEFAULT 0,
    Stat2_Nutrition INTEGER DEFAULT 0,
    Stat2_CoupledPLU INTEGER DEFAULT 0,
    Stat2_BonusPoint INTEGER DEFAULT 0,
    Stat2_RestPrice INTEGER DEFAULT 0,
    Stat2_StaffDiscount INTEGER DEFAULT 0,
    Stat2_CustomerDiscount INTEGER DEFAULT 0,
    Stat2_DayOfWeek INTEGER DEFAULT 0,
    Stat2_Tax INTEGER DEFAULT 0,
    Stat2_Images INTEGER DEFAULT 0,
    Stat2_LabelTexts INTEGER DEFAULT 0,
    Stat2_RefPLU INTEGER DEFAULT 0,
    Stat2_Packaging INTEGER DEFAULT 0,
    Stat2_ScrollMessage INTEGER DEFAULT 0,
    Stat2_TrayTare INTEGER DEFAULT 0,
    Stat2_PriceProtect INTEGER DEFAULT 0,
    Stat2_ExtraTexts INTEGER DEFAULT 0,
    Stat2_NoSale INTEGER DEFAULT 0,
    Stat2_Organic INTEGER DEFAULT 0,
    Stat2_Frozen INTEGER DEFAULT 0,
    Stat2_Allergens INTEGER DEFAULT 0,
    Stat2_TotalLabel INTEGER DEFAULT 0,
    Stat2_SelfService INTEGER DEFAULT 0,
    ZentBinData TEXT COLLATE NOCASE
);

CREATE INDEX PLU_PLU_MG ON PLU (PLU_MG);

CREATE INDEX PLU_PLU_ItemCode ON PLU (PLU_ItemCode);

CREATE INDEX PLU_PLU_EANData ON PLU (PLU_EANData);

CREATE INDEX PLU_PLU_UPrice ON PLU (PLU_UPrice);

-- Paging through all PLUs in number order walks this narrow copy of the
-- key instead of the wide rows.
CREATE INDEX PLU_PLU_No ON PLU (PLU_No);

-- A name search scans this instead of the rows; under a department or a
-- main group only that group's part of it.
CREATE INDEX PLU_PLU_MG_Commodity ON PLU (PLU_MG, PLU_Commodity);

-- The discount rule of one PLU, limits and prices in the units of the PLU.
CREATE TABLE DISCOUNT (
    PLU_No INTEGER PRIMARY KEY CHECK (PLU_No BETWEEN 1 AND 999999),
    Dis_SDate TEXT COLLATE NOCASE,
    Dis_STime TEXT COLLATE NOCASE,
    Dis_EDate TEXT COLLATE NOCASE,
    Dis_ETime TEXT COLLATE NOCASE,
    Dis_FirstLIM REAL,
    Dis_Within1stLIM REAL,
    Dis_SecondLIM REAL,
    Dis_Within2ndLIM REAL,
    Dis_Type INTEGER,
    Dis_MarkDown INTEGER
);

-- PLUs read back from the scales, one row per scale address and PLU.
-- PLU_Compare is 1 while a row differs from the PC's PLU.
CREATE TABLE RC_PLU (
    SC_IP TEXT COLLATE NOCASE NOT NULL,
    PLU_No INTEGER NOT NULL,
    PLU_ItemCode TEXT COLLATE NOCASE,
    PLU_UPrice REAL,
    PLU_LBFormat1 INTEGER,
    PLU_LBFormat2 INTEGER,
    PLU_BarFormat INTEGER,
    PLU_EANData TEXT COLLATE NOCASE,
    PLU_MG INTEGER,
    PLU_SBDate INTEGER,
    PLU_SBTime TEXT COLLATE NOCASE,
    PLU_UBDate INTEGER,
    PLU_PAKDate INTEGER,
    PLU_PAKTime TEXT COLLATE NOCASE,
    PLU_Cost REAL,
    PLU_Tare INTEGER,
    PLU_QTY INTEGER,
    PLU_QTYSymbol INTEGER,
    PLU_SPMessageNo INTEGER,
    PLU_IngredientNo INTEGER,
    PLU_PlaceNo INTEGER,
    PLU_Image1 INTEGER,
    PLU_Image2 INTEGER,
    PLU_Image3 INTEGER,
    PLU_Image4 INTEGER,
    PLU_Image5 INTEGER,
    PLU_Image6 INTEGER,
    PLU_Image7 INTEGER,
    PLU_Image8 INTEGER,
    PLU_Image9 INTEGER,
    PLU_Image10 INTEGER,
    PLU_2NDPrice REAL,
    PLU_2NDQTY INTEGER,
    PLU_CPLUPreset TEXT COLLATE NOCASE,
    PLU_BonusPoint INTEGER,
    PLU_REPLUNo INTEGER,
    PLU_DisDayOfWeek INTEGER,
    PLU_CoupledPLUNo INTEGER,
    PLU_TAXNo INTEGER,
    PLU_PerTare INTEGER,
    PLU_CustomerDis INTEGER,
    PLU_RestPrice REAL,
    PLU_StaffDis INTEGER,
    PLU_2NDQTYSymbol INTEGER,
    PLU_Traceability INTEGER,
    PLU_TraceabilityL INTEGER,
    PLU_GroupCode INTEGER,
    PLU_ST1stLimit INTEGER,
    PLU_ST2ndLimit INTEGER,
    PLU_PAKIndicator INTEGER,
    PLU_MultiBar1 TEXT COLLATE NOCASE,
    PLU_MultiBar2 TEXT COLLATE NOCASE,
    PLU_TMultiBar1 TEXT COLLATE NOCASE,
    PLU_TMultiBar2 TEXT COLLATE NOCASE,
    PLU_Scroll INTEGER,
    PLU_LText1No INTEGER,
    PLU_LText2No INTEGER,
    PLU_LText3No INTEGER,
    PLU_LText4No INTEGER,
    PLU_LText5No INTEGER,
    PLU_1stTare REAL,
    PLU_2ndTare REAL,
    PLU_LTray1 INTEGER,
    PLU_LTray2 INTEGER,
    PLU_LTray3 INTEGER,
    PLU_ESPMessageNo INTEGER,
    PLU_EIngredientNo INTEGER,
    PLU_Disount TEXT COLLATE NOCASE,
    PLU_Nutrition TEXT COLLATE NOCASE,
    PLU_CommFonts TEXT COLLATE NOCASE,
    PLU_Commodity TEXT COLLATE NOCASE,
    PLU_IngreFonts TEXT COLLATE NOCASE,
    PLU_Ingredient TEXT COLLATE NOCASE,
    PLU_SPMFonts TEXT COLLATE NOCASE,
    PLU_SPMessage TEXT COLLATE NOCASE,
    PLU_UPDate TEXT COLLATE NOCASE,
    PLU_UPTime TEXT COLLATE NOCASE,
    Stat1_Unit INTEGER DEFAULT 0,
    Stat1_SBDate INTEGER DEFAULT 0,
    Stat1_UBDate INTEGER DEFAULT 0,
    Stat1_PKDate INTEGER DEFAULT 0,
    Stat1_RTCPKTime INTEGER DEFAULT 0,
    Stat1_SBTime INTEGER DEFAULT 0,
    Stat1_PKTime INTEGER DEFAULT 0,
    Stat1_RTCSBTime INTEGER DEFAULT 0,
    Stat1_PBPreUnit INTEGER DEFAULT 0,
    Stat2_PLUStatB2B INTEGER DEFAULT 0,
    Stat2_Discount INTEGER DEFAULT 0,
    Stat1_Commodity INTEGER DEFAULT 0,
    Stat1_Ingredient INTEGER DEFAULT 0,
    Stat1_SPMessage INTEGER DEFAULT 0,
    Stat1_Traceability INTEGER DEFAULT 0,
    Stat1_LabelFormat INTEGER DEFAULT 0,
    Stat1_Barcode INTEGER DEFAULT 0,
    Stat1_EANFlags INTEGER DEFAULT 0,
    Stat1_PriceChange INTEGER DEFAULT 0,
    Stat1_TareChange INTEGER DEFAULT 0,
    Stat1_FixedWeight INTEGER DEFAULT 0,
    Stat1_ManualWeight INTEGER DEFAULT 0,
    Stat1_PrintOrigin INTEGER DEFAULT 0,
    Stat2_2ndPrice INTEGER DEFAULT 0,
    Stat2_MultiBarcode INTEGER DEFAULT 0,
    Stat2_Nutrition INTEGER DEFAULT 0,
    Stat2_CoupledPLU INTEGER DEFAULT 0,
    Stat2_BonusPoint INTEGER DEFAULT 0,
    Stat2_RestPrice INTEGER DEFAULT 0,
    Stat2_StaffDiscount INTEGER DEFAULT 0,
    Stat2_CustomerDiscount INTEGER DEFAULT 0,
    Stat2_DayOfWeek INTEGER DEFAULT 0,
    Stat2_Tax INTEGER DEFAULT 0,
    Stat2_Images INTEGER DEFAULT 0,
    Stat2_LabelTexts INTEGER DEFAULT 0,
    Stat2_RefPLU INTEGER DEFAULT 0,
    Stat2_Packaging INTEGER DEFAULT 0,
    Stat2_ScrollMessage INTEGER DEFAULT 0,
    Stat2_TrayTare INTEGER DEFAULT 0,
    Stat2_PriceProtect INTEGER DEFAULT 0,
    Stat2_ExtraTexts INTEGER DEFAULT 0,
    Stat2_NoSale INTEGER DEFAULT 0,
    Stat2_Organic INTEGER DEFAULT 0,
    Stat2_Frozen INTEGER DEFAULT 0,
    Stat2_Allergens INTEGER DEFAULT 0,
    Stat2_TotalLabel INTEGER DEFAULT 0,
    Stat2_SelfService INTEGER DEFAULT 0,
    ZentBinData TEXT COLLATE NOCASE,
    PLU_Compare INTEGER DEFAULT 0,
    PRIMARY KEY (SC_IP, PLU_No)
);

CREATE INDEX RC_PLU_PLU_MG ON RC_PLU (PLU_MG);

CREATE INDEX RC_PLU_PLU_Compare ON RC_PLU (PLU_Compare);

-- Scales by IPv4 address, grouped in sections, departments go to sections.
CREATE TABLE SCALE (
    SC_IP TEXT COLLATE NOCASE PRIMARY KEY,
    SECT_No INTEGER,
    SC_Used INTEGER DEFAULT 0,
    SC_Dest TEXT COLLATE NOCASE
);

CREATE TABLE SCALE_SECT (
    SECT_No INTEGER PRIMARY KEY,
    SECT_Name TEXT COLLATE NOCASE
);

CREATE TABLE DEPT_SECT (
    DEPT_No INTEGER NOT NULL,
    SECT_No INTEGER NOT NULL,
    PRIMARY KEY (DEPT_No, SECT_No)
);

-- Barcode formats. BAR_Code -1 is the format without flag figures.
-- FlagStat: first character for flag 1, last for flag 2
-- (1 typed flag, 0 a fixed zero, 9 no figure).
CREATE TABLE BARCODE_LIST (
    BAR_Code INTEGER NOT NULL,
    BAR_Type TEXT COLLATE NOCASE NOT NULL,
    ItemNum INTEGER,
    FlagStat TEXT COLLATE NOCASE,
    DigitalNum INTEGER,
    EAN_Data TEXT COLLATE NOCASE,
    Descriptions TEXT COLLATE NOCASE,
    IsUsed INTEGER DEFAULT 0,
    PRIMARY KEY (BAR_Code, BAR_Type)
);

-- Printer fonts of the scales. Font_Numbers is the most characters a line holds.
CREATE TABLE FONTS (
    Font_Code INTEGER PRIMARY KEY,
    Font_Name TEXT COLLATE NOCASE,
    Font_Weight INTEGER,
    Font_Height INTEGER,
    Font_Numbers INTEGER,
    IsUsed INTEGER DEFAULT 0
);

CREATE TABLE LABELFORMAT (
    LBF_Code INTEGER PRIMARY KEY,
    LBF_Name TEXT COLLATE NOCASE
);

-- Planner statistics of a large shop (a million PLUs, a few thousand per
-- main group), so that from the first day a search under a department is
-- driven by the item code or EAN index rather than by the department's main
-- groups. ANALYZE replaces them with measured ones.
ANALYZE sqlite_master;
INSERT INTO sqlite_stat1(tbl, idx, stat) VALUES
    ('PLU', 'PLU_PLU_No', '1000000 1'),
    ('PLU', 'PLU_PLU_MG', '1000000 3000'),
    ('PLU', 'PLU_PLU_MG_Commodity', '1000000 3000 1'),
    ('PLU', 'PLU_PLU_ItemCode', '1000000 1'),
    ('PLU', 'PLU_PLU_EANData', '1000000 2'),
    ('PLU', 'PLU_PLU_UPrice', '1000000 100'),
    ('MG', 'MG_DP_No', '300 15');
