const char* check = "PRAGMA integrity_check";
