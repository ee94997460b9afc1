-- Version 7: the survey indexes keep their empty values where the Tree
-- editor's orders put them (first in an ascending order, last in a
-- descending one), so that the server reads a list in order from its index
-- rather than sorting the whole table first.
DROP INDEX ix_Survey_TreeID;
CREATE INDEX ix_Survey_TreeID ON _Archived_SurveyData (Tree_ID NULLS FIRST, Date_Evaluated NULLS FIRST, ID);
DROP INDEX ix_Survey_Species;
CREATE INDEX ix_Survey_Species ON _Archived_SurveyData (Species NULLS FIRST, Date_Evaluated NULLS FIRST);
DROP INDEX ix_Survey_Rating;
CREATE INDEX ix_Survey_Rating ON _Archived_SurveyData (Hazard_Rating DESC NULLS LAST, Tree_ID NULLS FIRST);
DROP INDEX ix_Survey_Surveyor;
CREATE INDEX ix_Survey_Surveyor ON _Archived_SurveyData (Surveyor NULLS FIRST, Date_Evaluated NULLS FIRST,
                                                         Tree_ID NULLS FIRST);
DROP INDEX ix_Survey_Street;
CREATE INDEX ix_Survey_Street ON _Archived_SurveyData (StreetName NULLS FIRST, StreetNum NULLS FIRST);
DROP INDEX ix_Survey_Date;
CREATE INDEX ix_Survey_Date ON _Archived_SurveyData (Date_Evaluated NULLS FIRST, Tree_ID NULLS FIRST, Species);
