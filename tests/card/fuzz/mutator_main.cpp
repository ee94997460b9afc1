// A small seeded mutator that drives the fuzz target where clang's libFuzzer
// is not available: for the given number of seconds it feeds the target the
// seed files changed at random (bytes flipped, inserted, deleted, repeated,
// line ends and number or date pieces put in, two seeds spliced).
//
//   treefile_mutator SECONDS SEED_FOLDER [RANDOM_SEED]

#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

const char* const Pieces[] = {"\r\n", "\n", "\r", "\0", "/", ":", " PM", " AM", "-", ".", ".5", "+",
                              "99999999999999999999", "32767", "32768", "-32769", "2147483648", "2/29/2000",
                              "13/40/2008", "12/31/9999 23:59:59", "\x80\x81\x9f\xff", "  ", "\t"};

QByteArray mutate(QByteArray bytes, const std::vector<QByteArray>& seeds, std::mt19937_64& random)
{
    const auto pick = [&random](size_t n) { return n == 0 ? size_t(0) : size_t(random() % n); };
    const int steps = 1 + int(random() % 8);
    for (int s = 0; s < steps; ++s) {
        const size_t at = pick(size_t(bytes.size()) + 1);
        switch (random() % 7) {
        case 0: // flip a bit
            if (!bytes.isEmpty())
                bytes[qsizetype(pick(size_t(bytes.size())))] ^= char(1u << (random() % 8));
            break;
        case 1: // a random byte in
            bytes.insert(qsizetype(at), char(random() % 256));
            break;
        case 2: { // a range out
            const size_t n = pick(32) + 1;
            if (at < size_t(bytes.size()))
                bytes.remove(qsizetype(at), qsizetype(std::min(n, size_t(bytes.size()) - at)));
            break;
        }
        case 3: { // a range repeated
            const size_t n = pick(64) + 1;
            if (at < size_t(bytes.size()))
                bytes.insert(qsizetype(at), bytes.mid(qsizetype(at), qsizetype(n)).repeated(int(pick(40)) + 1));
            break;
        }
        case 4: { // a piece that matters to the readers
            const char* piece = Pieces[pick(std::size(Pieces))];
            bytes.insert(qsizetype(at), QByteArray(piece, piece[0] == '\0' ? 1 : qsizetype(std::strlen(piece))));
            break;
        }
        case 5: { // spliced with another seed
            const QByteArray& other = seeds[pick(seeds.size())];
            const size_t from = pick(size_t(other.size()) + 1);
            bytes = bytes.left(qsizetype(at)) + other.mid(qsizetype(from));
            break;
        }
        default: // a long line
            bytes.insert(qsizetype(at), QByteArray(qsizetype(pick(70000)), char('0' + random() % 10)));
            break;
        }
    }
    return bytes;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s SECONDS SEED_FOLDER [RANDOM_SEED]\n", argv[0]);
        return 2;
    }
    const qint64 limitMs = qint64(std::atof(argv[1]) * 1000);
    std::vector<QByteArray> seeds;
    const QDir folder(QString::fromLocal8Bit(argv[2]));
    for (const QString& name : folder.entryList(QDir::Files, QDir::Name)) {
        QFile file(folder.filePath(name));
        if (file.open(QIODevice::ReadOnly))
            seeds.push_back(file.readAll());
    }
    if (seeds.empty()) {
        std::fprintf(stderr, "no seed files in %s\n", argv[2]);
        return 2;
    }
    std::mt19937_64 random(argc > 3 ? std::strtoull(argv[3], nullptr, 10) : std::random_device{}());
    for (const QByteArray& seed : seeds)
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(seed.constData()), size_t(seed.size()));
    QElapsedTimer clock;
    clock.start();
    long long runs = qint64(seeds.size());
    while (clock.elapsed() < limitMs) {
        const QByteArray input = mutate(seeds[size_t(random() % seeds.size())], seeds, random);
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input.constData()), size_t(input.size()));
        ++runs;
    }
    std::printf("Done %lld runs in %lld second(s)\n", runs, clock.elapsed() / 1000);
    return 0;
}
