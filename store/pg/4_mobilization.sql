-- Version 4: the cost to mobilize a crew, kept with the cost table. One row.
CREATE TABLE _tblMobilization (
    ID            INTEGER PRIMARY KEY CHECK (ID = 1),
    Mobilize_Cost DOUBLE PRECISION NOT NULL DEFAULT 0
);
INSERT INTO _tblMobilization (ID, Mobilize_Cost) VALUES (1, 0);
