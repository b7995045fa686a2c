#pragma once

#include <cstdint>

namespace Zorlin {

// A colour as four bytes in memory: blue, green, red, alpha. Read as a
// little-endian 32-bit value it is 0xAARRGGBB, and colours are copied and
// compared as that value. Pixel format 22 is this very layout.
class CColour {
public:
    constexpr CColour() : m_value(0) {}
    constexpr CColour(uint32_t value) : m_value(value) {}
    constexpr CColour(int red, int green, int blue, int alpha)
        : m_value(Pack(red, green, blue, alpha)) {}

    constexpr uint32_t GetValue() const { return m_value; }
    void Assign(const CColour& other) { m_value = other.m_value; }
    void Set(int red, int green, int blue, int alpha) { m_value = Pack(red, green, blue, alpha); }

    constexpr int GetBlue() const { return m_value & 0xFF; }
    constexpr int GetGreen() const { return (m_value >> 8) & 0xFF; }
    constexpr int GetRed() const { return (m_value >> 16) & 0xFF; }
    constexpr int GetAlpha() const { return m_value >> 24; }
    void SetBlue(int v) { SetByte(0, v); }
    void SetGreen(int v) { SetByte(8, v); }
    void SetRed(int v) { SetByte(16, v); }
    void SetAlpha(int v) { SetByte(24, v); }

    // Bits set in mask keep this colour's bits; the others come from value.
    void Merge(uint32_t value, uint32_t mask) { m_value = (value & ~mask) | (m_value & mask); }

    bool operator==(const CColour& other) const { return m_value == other.m_value; }
    bool operator!=(const CColour& other) const { return m_value != other.m_value; }

    static const CColour Black;
    static const CColour White;
    static const CColour DarkGrey;
    static const CColour Grey;
    static const CColour LightGrey;
    static const CColour Red;
    static const CColour Green;
    static const CColour Blue;
    static const CColour Yellow;
    static const CColour Cyan;
    static const CColour Magenta;

private:
    static constexpr uint32_t Pack(int red, int green, int blue, int alpha)
    {
        return (uint32_t(alpha & 0xFF) << 24) | (uint32_t(red & 0xFF) << 16) |
               (uint32_t(green & 0xFF) << 8) | uint32_t(blue & 0xFF);
    }
    void SetByte(int shift, int v) { m_value = (m_value & ~(0xFFu << shift)) | (uint32_t(v & 0xFF) << shift); }

    uint32_t m_value;
};

static_assert(sizeof(CColour) == 4, "a colour is four bytes");
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "pixel layouts assume a little-endian host");

inline constexpr CColour CColour::Black{0, 0, 0, 0};
inline constexpr CColour CColour::White{255, 255, 255, 0};
inline constexpr CColour CColour::DarkGrey{64, 64, 64, 0};
inline constexpr CColour CColour::Grey{128, 128, 128, 0};
inline constexpr CColour CColour::LightGrey{192, 192, 192, 0};
inline constexpr CColour CColour::Red{255, 0, 0, 0};
inline constexpr CColour CColour::Green{0, 255, 0, 0};
inline constexpr CColour CColour::Blue{0, 0, 255, 0};
inline constexpr CColour CColour::Yellow{255, 255, 0, 0};
inline constexpr CColour CColour::Cyan{0, 255, 255, 0};
inline constexpr CColour CColour::Magenta{255, 0, 255, 0};

} // namespace Zorlin
