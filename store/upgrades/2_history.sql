-- Version 2: the history of every survey record. One row per changed field
-- of an edit ('changed'), one per record for an import ('imported') and a
-- delete ('deleted'; Old_Value then holds the whole record, so that a
-- deleted record can still be found). Survey_ID is kept after the record is
-- deleted. Values keep their own type (no affinity), so a number stays a
-- number and an empty text stays apart from NULL.
CREATE TABLE _Survey_History (
    ID         INTEGER PRIMARY KEY AUTOINCREMENT,
    Survey_ID  INTEGER NOT NULL,
    Action     TEXT NOT NULL CHECK (Action IN ('imported', 'changed', 'deleted', 'converted')),
    Field      TEXT,
    Old_Value,
    New_Value,
    Changed_At TEXT NOT NULL
        CHECK (Changed_At IS strftime('%Y-%m-%d %H:%M:%S', julianday(Changed_At))),
    Changed_By TEXT NOT NULL
);
CREATE INDEX ix_History_Survey ON _Survey_History (Survey_ID, ID);
