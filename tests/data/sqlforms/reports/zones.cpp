// A report that writes the engine's forms itself. A glob of file names and
// std::string::substr are no SQL:
const char* pattern = "*.tree"; // a glob
std::string head = name.substr(0, 3);
const char* zones = "SELECT Description FROM RiskZone ORDER BY rowid";
const char* shown = "SELECT strftime('%m/%d/%Y', Date_Evaluated) FROM t";
