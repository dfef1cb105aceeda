#include "FontTables.h"

#include <QtEndian>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

namespace fonttables {

namespace {

constexpr int kHeader = 12;  // sfnt version, table count, binary search fields
constexpr int kRecord = 16;  // tag, checksum, offset, length
constexpr int kHeadChecksumAdjustment = 8;
constexpr std::uint32_t kChecksumMagic = 0xB1B0AFBA;

std::uint32_t read32(const char* at) { return qFromBigEndian<std::uint32_t>(at); }
void write16(char* at, std::uint16_t value) { qToBigEndian(value, at); }
void write32(char* at, std::uint32_t value) { qToBigEndian(value, at); }

int tableCount(const QByteArray& font)
{
    if (font.size() < kHeader)
        return -1;
    const int count = qFromBigEndian<std::uint16_t>(font.constData() + 4);
    return font.size() >= kHeader + count * kRecord ? count : -1;
}

// Sums big-endian 32-bit words, the last one padded with zeros.
std::uint32_t checksum(const char* data, qsizetype size)
{
    std::uint32_t sum = 0;
    for (qsizetype i = 0; i < size; i += 4) {
        char word[4] = {};
        std::memcpy(word, data + i, static_cast<std::size_t>(std::min<qsizetype>(4, size - i)));
        sum += read32(word);
    }
    return sum;
}

void padTo4(QByteArray& bytes)
{
    while (bytes.size() % 4)
        bytes.append('\0');
}

}  // namespace

bool has(const QByteArray& font, const char (&tag)[5])
{
    const int count = tableCount(font);
    for (int i = 0; i < count; ++i)
        if (std::memcmp(font.constData() + kHeader + i * kRecord, tag, 4) == 0)
            return true;
    return false;
}

QByteArray with(const QByteArray& font, const char (&tag)[5], const QByteArray& table)
{
    const int count = tableCount(font);
    if (count < 0 || count >= 0xFFFF || has(font, tag))
        return font;
    const int records = count + 1;
    const int directory = kHeader + records * kRecord;

    // Header and records, the new record in its place by tag; every table
    // moves by one record, keeping its 4-byte alignment.
    QByteArray result = font.left(kHeader);
    int power = 1;
    while (power * 2 <= records)
        power *= 2;
    write16(result.data() + 4, static_cast<std::uint16_t>(records));
    write16(result.data() + 6, static_cast<std::uint16_t>(power * kRecord));
    write16(result.data() + 8, static_cast<std::uint16_t>(std::countr_zero(static_cast<unsigned>(power))));
    write16(result.data() + 10, static_cast<std::uint16_t>((records - power) * kRecord));
    QByteArray added(kRecord, '\0');
    std::memcpy(added.data(), tag, 4);
    qsizetype head = -1;
    qsizetype addedAt = -1;
    for (int i = 0; i < count; ++i) {
        const char* record = font.constData() + kHeader + i * kRecord;
        if (addedAt < 0 && std::memcmp(record, tag, 4) > 0) {
            addedAt = result.size();
            result += added;
        }
        const std::uint32_t offset = read32(record + 8) + kRecord;
        if (std::memcmp(record, "head", 4) == 0)
            head = static_cast<qsizetype>(offset);
        result.append(record, kRecord);
        write32(result.data() + result.size() - kRecord + 8, offset);
    }
    if (addedAt < 0) {
        addedAt = result.size();
        result += added;
    }
    result += font.mid(kHeader + count * kRecord);
    padTo4(result);

    write32(result.data() + addedAt + 4, checksum(table.constData(), table.size()));
    write32(result.data() + addedAt + 8, static_cast<std::uint32_t>(result.size()));
    write32(result.data() + addedAt + 12, static_cast<std::uint32_t>(table.size()));
    result += table;
    padTo4(result);

    if (head >= directory && head + kHeadChecksumAdjustment + 4 <= result.size()) {
        write32(result.data() + head + kHeadChecksumAdjustment, 0);
        write32(result.data() + head + kHeadChecksumAdjustment, kChecksumMagic - checksum(result.constData(), result.size()));
    }
    return result;
}

}  // namespace fonttables
