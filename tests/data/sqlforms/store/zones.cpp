// The store may write the engine's own forms.
const char* zones = "SELECT Description FROM RiskZone ORDER BY rowid";
