-- The empty folder catalogue that every new folder receives a copy of.
-- Built into info.mdb at build time; the program never creates tables.
--
-- Column types: INTEGER for the 32-bit whole numbers, TEXT for text, BOOLEAN
-- (0 or 1) for yes/no values, DATETIME for "YYYY-MM-DD HH:MM:SS" local times,
-- BLOB for binary data. Text compares ASCII-case-blind, as names do
-- everywhere else in the program.

CREATE TABLE ItemMST (
  ItemNo           INTEGER NOT NULL PRIMARY KEY,
  ItemTitle        TEXT COLLATE NOCASE,
  ItemExt          TEXT COLLATE NOCASE,
  ImageLevel       INTEGER,
  OLELevel         INTEGER,
  FullTextLevel    INTEGER,
  TextExt          TEXT COLLATE NOCASE,
  OfficialDate     INTEGER,
  LastModifiedDate INTEGER,
  LastAccessedDate INTEGER,
  StackNo          INTEGER,
  PageNo           INTEGER,
  SingleItemPosX   INTEGER,
  SingleItemPosY   INTEGER,
  SearchHit        BOOLEAN
);
CREATE INDEX ItemMST_ItemTitle ON ItemMST (ItemTitle);
CREATE INDEX ItemMST_StackNo ON ItemMST (StackNo, PageNo);

CREATE TABLE StackMST (
  StackNo          INTEGER NOT NULL PRIMARY KEY,
  StackTitle       TEXT COLLATE NOCASE,
  OfficialDate     INTEGER,
  LastModifiedDate INTEGER,
  LastAccessedDate INTEGER,
  CurPageNo        INTEGER,
  StackPosX        INTEGER,
  StackPosY        INTEGER,
  SearchHit        BOOLEAN
);
CREATE INDEX StackMST_StackTitle ON StackMST (StackTitle);

-- ItemNo is not the row key: renumbering at compaction then rewrites a
-- small cell of each row instead of moving every picture to a new place.
CREATE TABLE ThumbMST (
  ItemNo        INTEGER NOT NULL UNIQUE,
  ThumbDateTime DATETIME,
  ThumbSizeX    INTEGER,
  ThumbSizeY    INTEGER,
  ThumbData     BLOB
);

-- ID is the counter the database gives each new box.
CREATE TABLE AnnBoxMST (
  ID            INTEGER PRIMARY KEY,
  ItemNo        INTEGER,
  AnnType       INTEGER,
  BoxTop        INTEGER,
  BoxLeft       INTEGER,
  BoxBottom     INTEGER,
  BoxRight      INTEGER,
  FontName      TEXT COLLATE NOCASE,
  FontSize      INTEGER,
  FontBold      INTEGER,
  FontItalic    BOOLEAN,
  FontUnderline BOOLEAN,
  FontStrikeOut BOOLEAN,
  FontCharSet   INTEGER,
  FontFamily    INTEGER,
  AnnParam1     INTEGER,
  AnnParam2     INTEGER,
  AnnParam3     INTEGER,
  ForeColor     INTEGER,
  BackColor     INTEGER,
  BoxString     TEXT COLLATE NOCASE
);
CREATE INDEX AnnBoxMST_ItemNo ON AnnBoxMST (ItemNo);

CREATE TABLE CommentMST (
  ItemNo  INTEGER NOT NULL PRIMARY KEY,
  Comment TEXT COLLATE NOCASE
);

CREATE TABLE KeywordMST (
  ItemNo  INTEGER NOT NULL PRIMARY KEY,
  Keyword TEXT COLLATE NOCASE
);

CREATE TABLE CreatorMST (
  ItemNo  INTEGER NOT NULL PRIMARY KEY,
  Creator TEXT COLLATE NOCASE
);

-- Work table of the catalogue's own operations.
CREATE TABLE ItemTRN (
  ItemNo  INTEGER,
  StackNo INTEGER
);

-- Work table of the sorted listing: one row per stack (ItemNo empty) and one
-- per unstacked item (StackNo empty).
CREATE TABLE SortTRN (
  ItemNo           INTEGER,
  StackNo          INTEGER,
  Title            TEXT COLLATE NOCASE,
  OfficialDate     INTEGER,
  LastModifiedDate INTEGER,
  LastAccessedDate INTEGER
);

CREATE TABLE SysEnv (
  DatabaseVersion    INTEGER,
  ApplicationName    TEXT COLLATE NOCASE,
  ApplicationVersion TEXT COLLATE NOCASE,
  BundleMaker        TEXT COLLATE NOCASE,
  Copyright          TEXT COLLATE NOCASE,
  Distributor        TEXT COLLATE NOCASE,
  Language           TEXT COLLATE NOCASE,
  OriginalDate       DATETIME,
  Platform           TEXT COLLATE NOCASE
);

INSERT INTO SysEnv (DatabaseVersion, ApplicationName, ApplicationVersion, BundleMaker, Copyright,
                    Distributor, Language, OriginalDate, Platform)
VALUES (10000, 'ブリンデル', '3.0', 'Velnor', 'Velnor', 'Velnor', 'Japanese',
        '2026-01-01 00:00:00', 'Linux');
