#pragma once

#include <cstddef>
#include <cstdint>

/** Text in a buffer of fixed size, for code that runs inside a fault, where the heap may be
    locked or broken: nothing here allocates or calls into the C library. Text past the
    capacity is dropped.
*/
template <size_t capacity>
class FixedText
{
public:
    FixedText& operator<< (const char* characters)
    {
        while (characters != nullptr && *characters != '\0')
            append (*characters++);

        return *this;
    }

    FixedText& operator<< (char c)
    {
        append (c);
        return *this;
    }

    /** Lower-case hexadecimal, without leading zeros. */
    FixedText& appendHex (std::uint64_t value)
    {
        char digits[16];
        int count = 0;

        do
        {
            digits[count++] = "0123456789abcdef"[value & 0xf];
            value >>= 4;
        } while (value != 0);

        while (count > 0)
            append (digits[--count]);

        return *this;
    }

    /** Decimal, padded with leading zeros to at least minimumDigits. */
    FixedText& appendDecimal (std::int64_t value, int minimumDigits = 1)
    {
        if (value < 0)
            append ('-');

        auto magnitude = value < 0 ? 0 - static_cast<std::uint64_t> (value) : static_cast<std::uint64_t> (value);
        char digits[20];
        int count = 0;

        do
        {
            digits[count++] = static_cast<char> ('0' + magnitude % 10);
            magnitude /= 10;
        } while (magnitude != 0);

        for (int i = count; i < minimumDigits; ++i)
            append ('0');

        while (count > 0)
            append (digits[--count]);

        return *this;
    }

    void clear()
    {
        length = 0;
        text[0] = '\0';
    }

    const char* data() const { return text; }
    size_t size() const { return length; }

private:
    void append (char c)
    {
        if (length + 1 < capacity)
        {
            text[length++] = c;
            text[length] = '\0';
        }
    }

    char text[capacity] = {};
    size_t length = 0;
};
