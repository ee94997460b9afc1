// Each of these swallows a failure; the check names every one.
void readAll()
{
    try {
        read();
    } catch (...) {}
    try {
        read();
    } catch (const DbError&) {
    }
    try {
        read();
    }
    catch(const std::exception & e)
    {

    }
}
