#pragma once
// The 48 keys that do something, as each platform delivers them from a US
// keyboard: written out from the measured X keycodes and Apple's kVK list,
// apart from the tables under test.

#include <QKeyEvent>
#include <QString>

#include <cstdint>

namespace testkeys {

struct ActingKey {
    const char* name;
    int virtualKey;
    quint32 xKeycode;
    quint32 macKeyCode;
    int keyIndex;  // -1 for a function key
    int program;   // -1 for a piano key

    bool isFunctionKey() const { return program >= 0; }
    // Qt::Key of an ASCII key is its upper-case character code.
    int qtKey() const { return isFunctionKey() ? int(Qt::Key_F1) + (virtualKey - 112) : name[0]; }
    // The unshifted keysym X11 reports in nativeVirtualKey (Latin-1 keysyms are
    // the character codes; F1 is 0xffbe).
    quint32 keysym() const { return isFunctionKey() ? 0xffbe + static_cast<quint32>(virtualKey - 112) : lower(name[0]); }
    QString text() const { return isFunctionKey() ? QString() : QString(QChar(lower(name[0]))); }
    // Note-on at velocity 100, or the program change.
    std::uint32_t message() const { return isFunctionKey() ? program * 256 + 0xC0 : (48 + keyIndex) * 256 + 0x90 + 100 * 65536; }

private:
    static quint32 lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<quint32>(c - 'A' + 'a') : static_cast<quint32>(c); }
};

// By key index, then F1 to F12.
inline constexpr ActingKey kActingKeys[] = {
    {"Q", 81, 24, 0x0C, 0, -1},  {"1", 49, 10, 0x12, 1, -1},  {"W", 87, 25, 0x0D, 2, -1},
    {"2", 50, 11, 0x13, 3, -1},  {"E", 69, 26, 0x0E, 4, -1},  {"R", 82, 27, 0x0F, 5, -1},
    {"Z", 90, 52, 0x06, 6, -1},  {"A", 65, 38, 0x00, 7, -1},  {"X", 88, 53, 0x07, 8, -1},
    {"S", 83, 39, 0x01, 9, -1},  {"C", 67, 54, 0x08, 10, -1}, {"D", 68, 40, 0x02, 11, -1},
    {"F", 70, 41, 0x03, 12, -1}, {"V", 86, 55, 0x09, 13, -1}, {"G", 71, 42, 0x05, 14, -1},
    {"B", 66, 56, 0x0B, 15, -1}, {"H", 72, 43, 0x04, 16, -1}, {"J", 74, 44, 0x26, 17, -1},
    {"N", 78, 57, 0x2D, 18, -1}, {"K", 75, 45, 0x28, 19, -1}, {"M", 77, 58, 0x2E, 20, -1},
    {"L", 76, 46, 0x25, 21, -1}, {",", 188, 59, 0x2B, 22, -1}, {";", 186, 47, 0x29, 23, -1},
    {"'", 222, 48, 0x27, 24, -1}, {".", 190, 60, 0x2F, 25, -1}, {"U", 85, 30, 0x20, 26, -1},
    {"/", 191, 61, 0x2C, 27, -1}, {"I", 73, 31, 0x22, 28, -1}, {"O", 79, 32, 0x1F, 29, -1},
    {"8", 56, 17, 0x1C, 30, -1}, {"P", 80, 33, 0x23, 31, -1}, {"9", 57, 18, 0x19, 32, -1},
    {"[", 219, 34, 0x21, 33, -1}, {"0", 48, 19, 0x1D, 34, -1}, {"]", 221, 35, 0x1E, 35, -1},
    {"F1", 112, 67, 0x7A, -1, 0},   {"F2", 113, 68, 0x78, -1, 9},   {"F3", 114, 69, 0x63, -1, 25},
    {"F4", 115, 70, 0x76, -1, 32},  {"F5", 116, 71, 0x60, -1, 10},  {"F6", 117, 72, 0x61, -1, 12},
    {"F7", 118, 73, 0x62, -1, 13},  {"F8", 119, 74, 0x64, -1, 14},  {"F9", 120, 75, 0x65, -1, 15},
    {"F10", 121, 76, 0x6D, -1, 6},  {"F11", 122, 95, 0x67, -1, 7},  {"F12", 123, 96, 0x6F, -1, 117},
};

inline const ActingKey* actingKeyOf(int virtualKey)
{
    for (const ActingKey& key : kActingKeys)
        if (key.virtualKey == virtualKey)
            return &key;
    return nullptr;
}

}  // namespace testkeys
