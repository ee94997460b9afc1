-- Version 5: the survey date and risk zone indexes of the Tree editor.
CREATE INDEX ix_Survey_Date ON _Archived_SurveyData (Date_Evaluated, Tree_ID, Species);
CREATE INDEX ix_Survey_RiskZone ON _Archived_SurveyData (RiskZone);
