// Loaded ahead of Qt into a kolva process a test starts (LD_PRELOAD): the
// command line parser every command reads its options with fails with an
// error no command handles itself. KOLVA_TEST_THROW says which: "standard"
// an error of the standard library, anything else a value of no known kind.

#include <QCommandLineParser>

#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace {

struct UnknownFault {
    int code;
};

} // namespace

bool QCommandLineParser::parse(const QStringList&)
{
    const char* kind = std::getenv("KOLVA_TEST_THROW");
    if (kind != nullptr && std::strcmp(kind, "standard") == 0)
        throw std::runtime_error("the parser broke\nin the middle");
    throw UnknownFault{42};
}
