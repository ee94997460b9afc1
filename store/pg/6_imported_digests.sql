-- Version 6: the digest of an imported file as its 32 bytes, indexed by its
-- first 8 bytes. A digest that is not 64 hexadecimal characters keeps its
-- text as bytes. The row numbers stay the same.
DROP INDEX ix_Imported_Digest;
ALTER TABLE _Imported_Files ALTER COLUMN Digest TYPE BYTEA USING
    CASE WHEN Digest ~ '^[0-9A-Fa-f]{64}$' THEN decode(Digest, 'hex') ELSE convert_to(Digest, 'UTF8') END;
CREATE INDEX ix_Imported_Digest ON _Imported_Files (substring(Digest FROM 1 FOR 8));
