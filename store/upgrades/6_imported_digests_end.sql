-- Version 6, after the rows are copied: the numbering goes on where it was,
-- the old table goes, and the digests are indexed by their first 8 bytes.
DELETE FROM sqlite_sequence WHERE name = '_Imported_Files';
INSERT INTO sqlite_sequence (name, seq)
    SELECT '_Imported_Files', seq FROM sqlite_sequence WHERE name = '_Imported_Files_5';
DROP TABLE _Imported_Files_5;
CREATE INDEX ix_Imported_Digest ON _Imported_Files (substr(Digest, 1, 8));
