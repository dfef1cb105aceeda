#include "KeyTranslate.h"

#include "KeyboardMap.h"

#include <QGuiApplication>

#include <array>
#include <cstddef>
#include <cstdint>

namespace keytranslate {
namespace {

namespace vk {
constexpr std::uint8_t Back = 8, Tab = 9, Return = 13, Shift = 16, Control = 17, Menu = 18, Pause = 19, Capital = 20,
                       Escape = 27, Space = 32, Prior = 33, Next = 34, End = 35, Home = 36, Left = 37, Up = 38,
                       Right = 39, Down = 40, Snapshot = 44, Insert = 45, Delete = 46, LWin = 91, RWin = 92, Apps = 93,
                       Numpad0 = 96, Multiply = 106, Add = 107, Subtract = 109, Decimal = 110, Divide = 111,
                       F1 = 112, NumLock = 144, Scroll = 145, Oem1 = 186, OemPlus = 187, OemComma = 188,
                       OemMinus = 189, OemPeriod = 190, Oem2 = 191, Oem3 = 192, Oem4 = 219, Oem5 = 220, Oem6 = 221,
                       Oem7 = 222, Oem102 = 226;
constexpr std::uint8_t numpad(int digit) { return static_cast<std::uint8_t>(Numpad0 + digit); }
constexpr std::uint8_t f(int n) { return static_cast<std::uint8_t>(F1 + n - 1); }
}  // namespace vk

struct CodePair {
    std::uint8_t native;
    std::uint8_t virtualKey;
};

// X keycodes (evdev code + 8) of a PC keyboard, named by their US legends.
// The keypad always gives its NumLock-on codes: keypad keys never play.
constexpr CodePair kXKeycodes[] = {
    {9, vk::Escape}, {67, vk::f(1)}, {68, vk::f(2)}, {69, vk::f(3)}, {70, vk::f(4)}, {71, vk::f(5)}, {72, vk::f(6)},
    {73, vk::f(7)}, {74, vk::f(8)}, {75, vk::f(9)}, {76, vk::f(10)}, {95, vk::f(11)}, {96, vk::f(12)},
    // Digit row.
    {49, vk::Oem3}, {10, '1'}, {11, '2'}, {12, '3'}, {13, '4'}, {14, '5'}, {15, '6'}, {16, '7'}, {17, '8'},
    {18, '9'}, {19, '0'}, {20, vk::OemMinus}, {21, vk::OemPlus}, {22, vk::Back},
    // Q row.
    {23, vk::Tab}, {24, 'Q'}, {25, 'W'}, {26, 'E'}, {27, 'R'}, {28, 'T'}, {29, 'Y'}, {30, 'U'}, {31, 'I'},
    {32, 'O'}, {33, 'P'}, {34, vk::Oem4}, {35, vk::Oem6}, {51, vk::Oem5},
    // A row.
    {66, vk::Capital}, {38, 'A'}, {39, 'S'}, {40, 'D'}, {41, 'F'}, {42, 'G'}, {43, 'H'}, {44, 'J'}, {45, 'K'},
    {46, 'L'}, {47, vk::Oem1}, {48, vk::Oem7}, {36, vk::Return},
    // Z row; 94 is the extra key beside left Shift on ISO keyboards.
    {50, vk::Shift}, {94, vk::Oem102}, {52, 'Z'}, {53, 'X'}, {54, 'C'}, {55, 'V'}, {56, 'B'}, {57, 'N'}, {58, 'M'},
    {59, vk::OemComma}, {60, vk::OemPeriod}, {61, vk::Oem2}, {62, vk::Shift},
    // Bottom row; 108 is right Alt or AltGr.
    {37, vk::Control}, {133, vk::LWin}, {64, vk::Menu}, {65, vk::Space}, {108, vk::Menu}, {134, vk::RWin},
    {135, vk::Apps}, {105, vk::Control},
    // Editing and cursor block.
    {107, vk::Snapshot}, {78, vk::Scroll}, {127, vk::Pause}, {118, vk::Insert}, {110, vk::Home}, {112, vk::Prior},
    {119, vk::Delete}, {115, vk::End}, {117, vk::Next}, {111, vk::Up}, {113, vk::Left}, {116, vk::Down},
    {114, vk::Right},
    // Keypad.
    {77, vk::NumLock}, {106, vk::Divide}, {63, vk::Multiply}, {82, vk::Subtract}, {86, vk::Add}, {104, vk::Return},
    {79, vk::numpad(7)}, {80, vk::numpad(8)}, {81, vk::numpad(9)}, {83, vk::numpad(4)}, {84, vk::numpad(5)},
    {85, vk::numpad(6)}, {87, vk::numpad(1)}, {88, vk::numpad(2)}, {89, vk::numpad(3)}, {90, vk::numpad(0)},
    {91, vk::Decimal},
};

// macOS virtual key codes (kVK_*), which name positions on a US keyboard too.
constexpr CodePair kMacKeyCodes[] = {
    {0x35, vk::Escape}, {0x7A, vk::f(1)}, {0x78, vk::f(2)}, {0x63, vk::f(3)}, {0x76, vk::f(4)}, {0x60, vk::f(5)},
    {0x61, vk::f(6)}, {0x62, vk::f(7)}, {0x64, vk::f(8)}, {0x65, vk::f(9)}, {0x6D, vk::f(10)}, {0x67, vk::f(11)},
    {0x6F, vk::f(12)},
    // Digit row; 0x0A is the ISO section key.
    {0x32, vk::Oem3}, {0x0A, vk::Oem102}, {0x12, '1'}, {0x13, '2'}, {0x14, '3'}, {0x15, '4'}, {0x17, '5'},
    {0x16, '6'}, {0x1A, '7'}, {0x1C, '8'}, {0x19, '9'}, {0x1D, '0'}, {0x1B, vk::OemMinus}, {0x18, vk::OemPlus},
    {0x33, vk::Back},
    // Q row.
    {0x30, vk::Tab}, {0x0C, 'Q'}, {0x0D, 'W'}, {0x0E, 'E'}, {0x0F, 'R'}, {0x11, 'T'}, {0x10, 'Y'}, {0x20, 'U'},
    {0x22, 'I'}, {0x1F, 'O'}, {0x23, 'P'}, {0x21, vk::Oem4}, {0x1E, vk::Oem6}, {0x2A, vk::Oem5},
    // A row.
    {0x39, vk::Capital}, {0x00, 'A'}, {0x01, 'S'}, {0x02, 'D'}, {0x03, 'F'}, {0x05, 'G'}, {0x04, 'H'}, {0x26, 'J'},
    {0x28, 'K'}, {0x25, 'L'}, {0x29, vk::Oem1}, {0x27, vk::Oem7}, {0x24, vk::Return},
    // Z row.
    {0x38, vk::Shift}, {0x06, 'Z'}, {0x07, 'X'}, {0x08, 'C'}, {0x09, 'V'}, {0x0B, 'B'}, {0x2D, 'N'}, {0x2E, 'M'},
    {0x2B, vk::OemComma}, {0x2F, vk::OemPeriod}, {0x2C, vk::Oem2}, {0x3C, vk::Shift},
    // Bottom row: Command sits where a PC keyboard has its Windows keys.
    {0x3B, vk::Control}, {0x3A, vk::Menu}, {0x37, vk::LWin}, {0x31, vk::Space}, {0x36, vk::RWin}, {0x3D, vk::Menu},
    {0x3E, vk::Control},
    // Editing and cursor block.
    {0x72, vk::Insert}, {0x73, vk::Home}, {0x74, vk::Prior}, {0x75, vk::Delete}, {0x77, vk::End}, {0x79, vk::Next},
    {0x7E, vk::Up}, {0x7B, vk::Left}, {0x7D, vk::Down}, {0x7C, vk::Right},
    // Keypad; its Clear key stands where a PC keypad has NumLock.
    {0x47, vk::NumLock}, {0x4B, vk::Divide}, {0x43, vk::Multiply}, {0x4E, vk::Subtract}, {0x45, vk::Add},
    {0x4C, vk::Return}, {0x59, vk::numpad(7)}, {0x5B, vk::numpad(8)}, {0x5C, vk::numpad(9)}, {0x56, vk::numpad(4)},
    {0x57, vk::numpad(5)}, {0x58, vk::numpad(6)}, {0x53, vk::numpad(1)}, {0x54, vk::numpad(2)},
    {0x55, vk::numpad(3)}, {0x52, vk::numpad(0)}, {0x41, vk::Decimal},
};

using NativeTable = std::array<std::uint8_t, 256>;

template <std::size_t N>
constexpr NativeTable byNativeCode(const CodePair (&pairs)[N])
{
    NativeTable table{};
    for (const CodePair& pair : pairs)
        table[pair.native] = pair.virtualKey;
    return table;
}

template <std::size_t N>
constexpr bool nativeCodesDistinct(const CodePair (&pairs)[N])
{
    std::array<bool, 256> seen{};
    for (const CodePair& pair : pairs) {
        if (seen[pair.native])
            return false;
        seen[pair.native] = true;
    }
    return true;
}

// Every code that does something is made by exactly one physical key, so no
// other key plays and none is out of reach.
constexpr bool eachActingCodeOnce(const NativeTable& table)
{
    for (int code = 0; code < 256; ++code) {
        if (keymap::actionFor(code).kind == keymap::Kind::None)
            continue;
        int keys = 0;
        for (const std::uint8_t virtualKey : table)
            keys += virtualKey == code ? 1 : 0;
        if (keys != 1)
            return false;
    }
    return true;
}

constexpr NativeTable kByXKeycode = byNativeCode(kXKeycodes);
constexpr NativeTable kByMacKeyCode = byNativeCode(kMacKeyCodes);

static_assert(nativeCodesDistinct(kXKeycodes) && nativeCodesDistinct(kMacKeyCodes));
static_assert(eachActingCodeOnce(kByXKeycode) && eachActingCodeOnce(kByMacKeyCode));
static_assert(kByXKeycode[24] == 'Q' && kByXKeycode[41] == 'F' && kByXKeycode[47] == vk::Oem1
                  && kByXKeycode[67] == vk::f(1) && kByXKeycode[96] == vk::f(12) && kByXKeycode[87] == vk::numpad(1),
              "X keycodes as measured under Xvfb");
static_assert(kByMacKeyCode[0x00] == 'A' && kByMacKeyCode[0x0C] == 'Q' && kByMacKeyCode[0x6F] == vk::f(12));

struct QtKeyPair {
    int key;
    std::uint8_t virtualKey;
};

// Unshifted US keys other than letters, digits and F-keys.
constexpr QtKeyPair kQtKeys[] = {
    {Qt::Key_Escape, vk::Escape}, {Qt::Key_Space, vk::Space}, {Qt::Key_Return, vk::Return},
    {Qt::Key_Enter, vk::Return}, {Qt::Key_Tab, vk::Tab}, {Qt::Key_Backtab, vk::Tab}, {Qt::Key_Backspace, vk::Back},
    {Qt::Key_Left, vk::Left}, {Qt::Key_Up, vk::Up}, {Qt::Key_Right, vk::Right}, {Qt::Key_Down, vk::Down},
    {Qt::Key_Insert, vk::Insert}, {Qt::Key_Delete, vk::Delete}, {Qt::Key_Home, vk::Home}, {Qt::Key_End, vk::End},
    {Qt::Key_PageUp, vk::Prior}, {Qt::Key_PageDown, vk::Next}, {Qt::Key_Shift, vk::Shift},
    {Qt::Key_Control, vk::Control}, {Qt::Key_Alt, vk::Menu}, {Qt::Key_AltGr, vk::Menu}, {Qt::Key_Meta, vk::LWin},
    {Qt::Key_Menu, vk::Apps}, {Qt::Key_CapsLock, vk::Capital}, {Qt::Key_NumLock, vk::NumLock},
    {Qt::Key_ScrollLock, vk::Scroll}, {Qt::Key_Pause, vk::Pause}, {Qt::Key_Print, vk::Snapshot},
    {Qt::Key_Semicolon, vk::Oem1}, {Qt::Key_Equal, vk::OemPlus}, {Qt::Key_Comma, vk::OemComma},
    {Qt::Key_Minus, vk::OemMinus}, {Qt::Key_Period, vk::OemPeriod}, {Qt::Key_Slash, vk::Oem2},
    {Qt::Key_QuoteLeft, vk::Oem3}, {Qt::Key_BracketLeft, vk::Oem4}, {Qt::Key_Backslash, vk::Oem5},
    {Qt::Key_BracketRight, vk::Oem6}, {Qt::Key_Apostrophe, vk::Oem7},
};

// What Shift makes of the US keys, taken back to the key.
constexpr QtKeyPair kQtShiftedKeys[] = {
    {Qt::Key_Exclam, '1'}, {Qt::Key_At, '2'}, {Qt::Key_NumberSign, '3'}, {Qt::Key_Dollar, '4'},
    {Qt::Key_Percent, '5'}, {Qt::Key_AsciiCircum, '6'}, {Qt::Key_Ampersand, '7'}, {Qt::Key_Asterisk, '8'},
    {Qt::Key_ParenLeft, '9'}, {Qt::Key_ParenRight, '0'}, {Qt::Key_Underscore, vk::OemMinus},
    {Qt::Key_Plus, vk::OemPlus}, {Qt::Key_Colon, vk::Oem1}, {Qt::Key_QuoteDbl, vk::Oem7},
    {Qt::Key_Less, vk::OemComma}, {Qt::Key_Greater, vk::OemPeriod}, {Qt::Key_Question, vk::Oem2},
    {Qt::Key_BraceLeft, vk::Oem4}, {Qt::Key_BraceRight, vk::Oem6}, {Qt::Key_Bar, vk::Oem5},
    {Qt::Key_AsciiTilde, vk::Oem3},
};

// Keypad keys other than the digits, with NumLock on or off.
constexpr QtKeyPair kQtKeypadKeys[] = {
    {Qt::Key_Insert, vk::numpad(0)}, {Qt::Key_End, vk::numpad(1)}, {Qt::Key_Down, vk::numpad(2)},
    {Qt::Key_PageDown, vk::numpad(3)}, {Qt::Key_Left, vk::numpad(4)}, {Qt::Key_Clear, vk::numpad(5)},
    {Qt::Key_Right, vk::numpad(6)}, {Qt::Key_Home, vk::numpad(7)}, {Qt::Key_Up, vk::numpad(8)},
    {Qt::Key_PageUp, vk::numpad(9)}, {Qt::Key_Period, vk::Decimal}, {Qt::Key_Comma, vk::Decimal},
    {Qt::Key_Delete, vk::Decimal}, {Qt::Key_Asterisk, vk::Multiply}, {Qt::Key_Plus, vk::Add},
    {Qt::Key_Minus, vk::Subtract}, {Qt::Key_Slash, vk::Divide}, {Qt::Key_Enter, vk::Return},
    {Qt::Key_Return, vk::Return},
};

template <std::size_t N>
constexpr std::uint8_t lookUp(const QtKeyPair (&pairs)[N], int key)
{
    for (const QtKeyPair& pair : pairs)
        if (pair.key == key)
            return pair.virtualKey;
    return 0;
}

template <std::size_t N>
constexpr bool noneActs(const QtKeyPair (&pairs)[N])
{
    for (const QtKeyPair& pair : pairs)
        if (keymap::actionFor(pair.virtualKey).kind != keymap::Kind::None)
            return false;
    return true;
}

static_assert(noneActs(kQtKeypadKeys), "keypad keys never play");
static_assert(lookUp(kQtKeys, Qt::Key_Apostrophe) == vk::Oem7 && lookUp(kQtShiftedKeys, Qt::Key_QuoteDbl) == vk::Oem7);

constexpr bool inRange(int key, int first, int last) { return key >= first && key <= last; }

std::int16_t fromKeypadKey(int key)
{
    if (inRange(key, Qt::Key_0, Qt::Key_9))
        return vk::numpad(key - Qt::Key_0);
    return lookUp(kQtKeypadKeys, key);
}

std::int16_t fromWindowsVirtualKey(quint32 code) { return code <= 0xFF ? static_cast<std::int16_t>(code) : 0; }

// Events that Qt or a test synthesizes carry no native codes.
bool hasNativeCode(const QKeyEvent& event, Platform platform)
{
    switch (platform) {
    case Platform::X11: return event.nativeScanCode() != 0;
    case Platform::Windows: return event.nativeVirtualKey() != 0;
    // The A key's code is 0, so only an event without modifier flags either
    // (real Cocoa events carry device bits among them) counts as synthesized.
    case Platform::Mac: return event.nativeVirtualKey() != 0 || event.nativeModifiers() != 0;
    case Platform::Other: return false;
    }
    return false;
}

}  // namespace

Platform platformFromName(QStringView qpaPlatformName)
{
    if (qpaPlatformName == u"xcb" || qpaPlatformName.startsWith(u"wayland"))
        return Platform::X11;
    if (qpaPlatformName == u"windows" || qpaPlatformName == u"direct2d")
        return Platform::Windows;
    if (qpaPlatformName == u"cocoa")
        return Platform::Mac;
    return Platform::Other;
}

std::int16_t fromXKeycode(quint32 xKeycode)
{
    return xKeycode < kByXKeycode.size() ? kByXKeycode[xKeycode] : 0;
}

std::int16_t fromMacKeyCode(quint32 macKeyCode)
{
    return macKeyCode < kByMacKeyCode.size() ? kByMacKeyCode[macKeyCode] : 0;
}

std::int16_t fromQtKey(int key, Qt::KeyboardModifiers modifiers)
{
    if (modifiers & Qt::KeypadModifier)
        return fromKeypadKey(key);
    if (inRange(key, Qt::Key_A, Qt::Key_Z) || inRange(key, Qt::Key_0, Qt::Key_9))
        return static_cast<std::int16_t>(key);
    if (inRange(key, Qt::Key_F1, Qt::Key_F12))
        return vk::f(key - Qt::Key_F1 + 1);
    if (const std::uint8_t code = lookUp(kQtKeys, key))
        return code;
    // A shifted symbol stands for its key only when Shift is down: unshifted,
    // it comes from a layout whose keys we cannot place.
    return (modifiers & Qt::ShiftModifier) ? lookUp(kQtShiftedKeys, key) : 0;
}

std::int16_t virtualKey(const QKeyEvent& event, Platform platform)
{
    if (!hasNativeCode(event, platform))
        return fromQtKey(event.key(), event.modifiers());
    switch (platform) {
    case Platform::X11: return fromXKeycode(event.nativeScanCode());
    case Platform::Windows: return fromWindowsVirtualKey(event.nativeVirtualKey());
    case Platform::Mac: return fromMacKeyCode(event.nativeVirtualKey());
    case Platform::Other: break;
    }
    return fromQtKey(event.key(), event.modifiers());
}

std::int16_t virtualKey(const QKeyEvent& event)
{
    static const Platform platform = platformFromName(QGuiApplication::platformName());
    return virtualKey(event, platform);
}

std::int16_t shiftState(Qt::KeyboardModifiers modifiers)
{
    return static_cast<std::int16_t>((modifiers & Qt::ShiftModifier ? 1 : 0) | (modifiers & Qt::ControlModifier ? 2 : 0)
                                     | (modifiers & Qt::AltModifier ? 4 : 0));
}

}  // namespace keytranslate
