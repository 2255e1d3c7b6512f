-- Interface texts of Korvo 2005 and of the sibling programs that share
-- this database. Caption is owner + "." + key, and ID doubles as the
-- function identifier that user permissions refer to, so it never changes.
CREATE TABLE tbl_LANGUAGE (
    ID INTEGER PRIMARY KEY,
    E_NAME TEXT COLLATE NOCASE,
    Caption TEXT COLLATE NOCASE,
    English TEXT COLLATE NOCASE,
    Chinese TEXT COLLATE NOCASE,
    Other TEXT COLLATE NOCASE
);

-- Every lookup goes by program and caption, and one text per pair.
CREATE UNIQUE INDEX tbl_LANGUAGE_E_NAME_Caption ON tbl_LANGUAGE (E_NAME, Caption);
