// Decodes and encodes a realistic mix of a million cells and compares the rate
// with a bare loop that only copies the same bytes. Prints cells per second
// and the ratios; the absolute figures depend on the machine, the ratios less so.

#include "BenchSupport.h"

#include "device/KKT_Logic.h"
#include "device/ValueCodec.h"
#include "model/FieldInfo.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextCodec>

#include <cstdio>
#include <random>
#include <vector>

namespace {

struct Sample
{
    const FieldInfo* field;
    QByteArray raw;
};

FieldInfo makeField(FieldInfo::DeviceType type, int maxLength = 128, bool ip = false)
{
    FieldInfo f;
    f.m_name = QStringLiteral("f");
    f.m_deviceType = type;
    f.m_maxLength = maxLength;
    f.m_ipAddress = ip;
    return f;
}

QByteArray randomBytes(std::mt19937& rng, int count)
{
    QByteArray bytes(count, '\0');
    for (char& b : bytes)
        b = char(rng() & 0xFF);
    return bytes;
}

QByteArray packed(std::mt19937& rng, int width)
{
    QByteArray bytes(width, '\0');
    for (char& b : bytes)
        b = char(((rng() % 10) << 4) | (rng() % 10));
    return bytes;
}

// A receipt header or a name: Cyrillic and Latin letters, digits, blanks, then the fill.
QByteArray text(std::mt19937& rng, int maxLength, QTextCodec* codec)
{
    static const QString letters = QStringLiteral("АБВГДЕЖЗИКЛМНОПРСТУФабвгдежзиклмнопрстуф ABCDEFabcdef0123456789.,-№");
    const int length = int(rng() % unsigned(maxLength + 1));
    QString s;
    for (int i = 0; i < length; ++i)
        s.append(letters[int(rng() % unsigned(letters.size()))]);
    QByteArray bytes = codec->fromUnicode(s);
    return bytes + QByteArray(maxLength - bytes.size(), ' ');
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int cellCount = 1000000;

    const FieldInfo bin1 = makeField(FieldInfo::Bin1);
    const FieldInfo bin2 = makeField(FieldInfo::Bin2);
    const FieldInfo bin4 = makeField(FieldInfo::Bin4);
    const FieldInfo address = makeField(FieldInfo::Bin4, 128, true);
    const FieldInfo bin6 = makeField(FieldInfo::Bin6);
    const FieldInfo bcd2 = makeField(FieldInfo::Bcd2);
    const FieldInfo bcd5 = makeField(FieldInfo::Bcd5);
    const FieldInfo line = makeField(FieldInfo::String866, 48);
    const FieldInfo name = makeField(FieldInfo::String866, 16);
    const FieldInfo ascii = makeField(FieldInfo::Ascii, 12);
    const FieldInfo block = makeField(FieldInfo::Bcd64_1);

    QTextCodec* external = KKT_Logic::externalCodec();
    std::mt19937 rng(20240601);
    std::vector<Sample> cells;
    cells.reserve(cellCount);
    for (int i = 0; i < cellCount; ++i) {
        const unsigned pick = rng() % 100;
        if (pick < 30)
            cells.push_back({ &bin1, randomBytes(rng, 1) });
        else if (pick < 45)
            cells.push_back({ &bin2, randomBytes(rng, 2) });
        else if (pick < 53)
            cells.push_back({ &bin4, randomBytes(rng, 4) });
        else if (pick < 55)
            cells.push_back({ &address, randomBytes(rng, 4) });
        else if (pick < 57)
            cells.push_back({ &bin6, randomBytes(rng, 6) });
        else if (pick < 67)
            cells.push_back({ &bcd2, packed(rng, 2) });
        else if (pick < 72)
            cells.push_back({ &bcd5, packed(rng, 5) });
        else if (pick < 82)
            cells.push_back({ &line, text(rng, 48, external) });
        else if (pick < 95)
            cells.push_back({ &name, text(rng, 16, external) });
        else if (pick < 98)
            cells.push_back({ &ascii, randomBytes(rng, 12) });
        else
            cells.push_back({ &block, QByteArray(1, char(rng() % 10)) + QByteArray(63, '\0') });
    }

    // Baseline: a deep copy of every cell's bytes.
    quint64 copySum = 0;
    QElapsedTimer timer;
    timer.start();
    for (const Sample& cell : cells) {
        const QByteArray copy(cell.raw.constData(), cell.raw.size());
        copySum += quint64(copy.size()) + uchar(copy.isEmpty() ? 0 : copy[0]);
    }
    const qint64 copyNs = qMax<qint64>(1, timer.nsecsElapsed());

    std::vector<QByteArray> values;
    values.reserve(cells.size());
    timer.restart();
    for (const Sample& cell : cells)
        values.push_back(ValueCodec::decode(*cell.field, cell.raw, external));
    const qint64 decodeNs = qMax<qint64>(1, timer.nsecsElapsed());

    quint64 encodeSum = 0;
    int refused = 0;
    timer.restart();
    for (size_t i = 0; i < cells.size(); ++i) {
        const EncodedValue e = ValueCodec::encode(*cells[i].field, values[i], external);
        encodeSum += quint64(e.bytes.size());
        refused += e.ok ? 0 : 1;
    }
    const qint64 encodeNs = qMax<qint64>(1, timer.nsecsElapsed());

    const auto rate = [cellCount](qint64 ns) { return double(cellCount) * 1e9 / double(ns); };
    std::printf("cells: %d (bin1 30%%, bin2 15%%, bin4 10%%, bin6 2%%, bcd 15%%, string866 23%%, ascii 3%%, bcd64_1 2%%)\n", cellCount);
    std::printf("copy only:         %12.0f cells/s\n", rate(copyNs));
    std::printf("decode:            %12.0f cells/s   %6.1fx the copy time\n", rate(decodeNs), double(decodeNs) / copyNs);
    std::printf("encode:            %12.0f cells/s   %6.1fx the copy time\n", rate(encodeNs), double(encodeNs) / copyNs);
    std::printf("decode + encode:   %12.0f cells/s   %6.1fx the copy time\n", rate(decodeNs + encodeNs),
                double(decodeNs + encodeNs) / copyNs);
    BenchSupport::printGoal("decode + encode / the copy", double(decodeNs + encodeNs) / copyNs, "<=", 40);
    std::printf("checksums: copy %llu, encoded bytes %llu, refused %d\n", (unsigned long long)copySum,
                (unsigned long long)encodeSum, refused);
    return refused == 0 ? 0 : 1;
}
