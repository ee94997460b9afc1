-- Version 5: two indexes the Tree editor needs on a million records. The
-- survey date orders (date + tree number, date + species) read the first
-- index instead of sorting the whole table, and the risk zone list finds the
-- zones the records hold through the second, one look-up each. New records
-- carry recent dates and few zones, so both grow at their ends and slow the
-- import of field data little.
CREATE INDEX ix_Survey_Date ON _Archived_SurveyData (Date_Evaluated, Tree_ID, Species);
CREATE INDEX ix_Survey_RiskZone ON _Archived_SurveyData (RiskZone);
