-- KOLVA.MDB, schema version 1.
-- Text is compared and ordered without regard to case, as the handheld and
-- the office expect. Dates are ISO text 'YYYY-MM-DD HH:MM:SS', so that they
-- order and compare correctly; whole numbers keep the ranges of the handheld's
-- fields (16-bit DBH, trunk decay and rating; 32-bit tree number).

CREATE TABLE _Archived_SurveyData (
    ID                    INTEGER PRIMARY KEY AUTOINCREMENT,
    Surveyor              TEXT COLLATE NOCASE,
    Date_Evaluated        TEXT
        CHECK (Date_Evaluated IS NULL OR Date_Evaluated IS strftime('%Y-%m-%d %H:%M:%S', julianday(Date_Evaluated))),
    RiskZone              TEXT COLLATE NOCASE,
    StreetNum             TEXT COLLATE NOCASE,
    StreetName            TEXT COLLATE NOCASE,
    Tree_ID               INTEGER
        CHECK (Tree_ID IS NULL OR (typeof(Tree_ID) = 'integer' AND Tree_ID BETWEEN -2147483648 AND 2147483647)),
    Location              TEXT COLLATE NOCASE,
    Species               TEXT COLLATE NOCASE,
    DBH                   INTEGER
        CHECK (DBH IS NULL OR (typeof(DBH) = 'integer' AND DBH BETWEEN -32768 AND 32767)),
    Site                  TEXT COLLATE NOCASE,
    Obstructions_Physical TEXT COLLATE NOCASE,
    Obstructions_Visual   TEXT COLLATE NOCASE,
    Crown_Canker          TEXT COLLATE NOCASE,
    Crown_Crack           TEXT COLLATE NOCASE,
    Crown_Deadwood        TEXT COLLATE NOCASE,
    Crown_Decay           TEXT COLLATE NOCASE,
    Crown_Arch_1          TEXT COLLATE NOCASE,
    Crown_Arch_2          TEXT COLLATE NOCASE,
    Crown_Arch_3          TEXT COLLATE NOCASE,
    WeakUnion             TEXT COLLATE NOCASE,
    Trunk_Canker          TEXT COLLATE NOCASE,
    Trunk_Crack           TEXT COLLATE NOCASE,
    Trunk_Decay           TEXT COLLATE NOCASE,
    TrunkDecay_Shell      INTEGER
        CHECK (TrunkDecay_Shell IS NULL OR (typeof(TrunkDecay_Shell) = 'integer' AND TrunkDecay_Shell BETWEEN -32768 AND 32767)),
    TrunkDecay_Diam       INTEGER
        CHECK (TrunkDecay_Diam IS NULL OR (typeof(TrunkDecay_Diam) = 'integer' AND TrunkDecay_Diam BETWEEN -32768 AND 32767)),
    TrunkDecay_Pct        INTEGER
        CHECK (TrunkDecay_Pct IS NULL OR (typeof(TrunkDecay_Pct) = 'integer' AND TrunkDecay_Pct BETWEEN -32768 AND 32767)),
    Trunk_Arch_1          TEXT COLLATE NOCASE,
    Trunk_Arch_2          TEXT COLLATE NOCASE,
    Roots_Deep            TEXT COLLATE NOCASE,
    Roots_Injury          TEXT COLLATE NOCASE,
    Roots_Decay           TEXT COLLATE NOCASE,
    Roots_Arch1           TEXT COLLATE NOCASE,
    Roots_Arch2           TEXT COLLATE NOCASE,
    Size_Defect           TEXT COLLATE NOCASE,
    Prob_Failure          TEXT COLLATE NOCASE,
    Prob_TargetImpact     TEXT COLLATE NOCASE,
    OtherRisk             TEXT COLLATE NOCASE,
    Hazard_Rating         INTEGER
        CHECK (Hazard_Rating IS NULL OR (typeof(Hazard_Rating) = 'integer' AND Hazard_Rating BETWEEN -32768 AND 32767)),
    Desc_OtherRisk        TEXT COLLATE NOCASE,
    ReinspectYear         TEXT COLLATE NOCASE,
    CorrectiveActions     TEXT COLLATE NOCASE,
    Note                  TEXT COLLATE NOCASE,
    Date_Added            TEXT
        CHECK (Date_Added IS NULL OR Date_Added IS strftime('%Y-%m-%d %H:%M:%S', julianday(Date_Added))),
    Utility_Conflict      TEXT COLLATE NOCASE,
    Latitude              REAL,
    Longitude             REAL,
    Report_Flag           INTEGER NOT NULL DEFAULT 0 CHECK (Report_Flag IN (0, 1))
);

-- The orders and lists of the Tree editor. Every index slows the import of
-- field data, so the survey date order (sorted in well under a tenth of a
-- second for 100,000 records) has none of its own.
CREATE INDEX ix_Survey_TreeID ON _Archived_SurveyData (Tree_ID, Date_Evaluated);
CREATE INDEX ix_Survey_Species ON _Archived_SurveyData (Species, Date_Evaluated);
CREATE INDEX ix_Survey_Rating ON _Archived_SurveyData (Hazard_Rating DESC, Tree_ID);
CREATE INDEX ix_Survey_Surveyor ON _Archived_SurveyData (Surveyor, Date_Evaluated, Tree_ID);
CREATE INDEX ix_Survey_Street ON _Archived_SurveyData (StreetName, StreetNum);

CREATE TABLE Surveyors (
    ID          INTEGER PRIMARY KEY AUTOINCREMENT,
    Description TEXT COLLATE NOCASE
);

CREATE TABLE Species (
    ID          INTEGER PRIMARY KEY AUTOINCREMENT,
    Description TEXT COLLATE NOCASE
);

CREATE TABLE RiskZone (
    ID          INTEGER PRIMARY KEY AUTOINCREMENT,
    Description TEXT COLLATE NOCASE
);

CREATE TABLE Risk_Rating (
    Risk_Question_Num INTEGER,
    Risk_Order        INTEGER,
    Description       TEXT COLLATE NOCASE
);

CREATE TABLE _Streets_Master (
    StreetName TEXT COLLATE NOCASE UNIQUE,
    SendToPDA  INTEGER NOT NULL DEFAULT 0 CHECK (SendToPDA IN (0, 1))
);

CREATE TABLE Streets_PDA (
    StreetName TEXT COLLATE NOCASE
);

CREATE TABLE _tblCorrAction (
    CA_Code        INTEGER NOT NULL UNIQUE,
    CA_Description TEXT COLLATE NOCASE
);

CREATE TABLE _tblCosts (
    ID             INTEGER PRIMARY KEY AUTOINCREMENT,
    CA_TYPE        INTEGER,
    DBH_LowerLimit REAL,
    DBH_UpperLimit REAL,
    CA_Cost        REAL
);

PRAGMA user_version = 1;
