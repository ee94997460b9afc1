-- The lists KOLVA.MDB is supplied with.

INSERT INTO _tblCorrAction (CA_Code, CA_Description) VALUES
    (1, 'Move Target'),
    (2, 'Limit Access to the Tree'),
    (3, 'Remove Tree'),
    (4, 'Treat Stem Girdling Roots'),
    (5, 'Prune Deadwood'),
    (6, 'Prune Weak Wood'),
    (7, 'Prune for Clearance'),
    (8, 'Thin the Crown'),
    (9, 'Reduce Height'),
    (10, 'Cable or Brace'),
    (11, 'Convert to Wildlife Tree');

-- The four questions of the community tree risk rating: a title row
-- (order -1), then the answers, whose order is their score. Every text ends
-- in one blank, as the risk question editor stores it.
INSERT INTO Risk_Rating (Risk_Question_Num, Risk_Order, Description) VALUES
    (1, -1, 'Size of Defective Part '),
    (1, 1, 'Less than 4 in '),
    (1, 2, '4 to 20 in '),
    (1, 3, 'Greater than 20 in '),
    (2, -1, 'Probability of Failure '),
    (2, 1, 'Low '),
    (2, 2, 'Medium '),
    (2, 3, 'High '),
    (2, 4, 'Extremely High '),
    (3, -1, 'Prob. of Target Impact '),
    (3, 1, 'Occasional Use '),
    (3, 2, 'Intermittent Use '),
    (3, 3, 'Frequent Use '),
    (3, 4, 'Constant Use '),
    (4, -1, 'Other Risk Factors '),
    (4, 0, 'None '),
    (4, 1, 'Minor '),
    (4, 2, 'Major ');

INSERT INTO Species (Description) VALUES
    ('ACPL-NORWAY MAPLE'),
    ('ACRU-RED MAPLE'),
    ('ACSA2-SUGAR MAPLE'),
    ('CECA-EASTERN REDBUD'),
    ('FRPE-GREEN ASH'),
    ('GIBI-GINKGO'),
    ('GLTR-HONEYLOCUST'),
    ('MA-CRABAPPLE'),
    ('PLAC-LONDON PLANETREE'),
    ('PYCA-CALLERY PEAR'),
    ('QUPA-PIN OAK'),
    ('QURU-NORTHERN RED OAK'),
    ('TICO-LITTLELEAF LINDEN'),
    ('ULAM-AMERICAN ELM'),
    ('ZESE-JAPANESE ZELKOVA');

INSERT INTO RiskZone (Description) VALUES
    ('ARTERIAL ROADS'),
    ('DOWNTOWN'),
    ('PARKS'),
    ('RESIDENTIAL'),
    ('SCHOOL ZONES');

INSERT INTO _Streets_Master (StreetName, SendToPDA) VALUES
    ('ELM ST', 0),
    ('MAIN ST', 0),
    ('OAK AVE', 0),
    ('PARK DR', 0);
