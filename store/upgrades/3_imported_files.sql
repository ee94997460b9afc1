-- Version 3: every field-data file imported from a storage card, known by
-- the SHA-256 digest of its bytes, so that a second import of the same file
-- can be recognised. A file with the same name but other bytes is new.
CREATE TABLE _Imported_Files (
    ID          INTEGER PRIMARY KEY AUTOINCREMENT,
    Digest      TEXT NOT NULL,
    File_Name   TEXT NOT NULL,
    Byte_Size   INTEGER NOT NULL,
    Imported_At TEXT NOT NULL
        CHECK (Imported_At IS strftime('%Y-%m-%d %H:%M:%S', julianday(Imported_At))),
    Survey_ID   INTEGER
);
CREATE INDEX ix_Imported_Digest ON _Imported_Files (Digest);
