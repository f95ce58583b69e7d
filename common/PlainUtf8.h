#pragma once

// Valid UTF-8 without a zero byte: such a text can go out as it is stored,
// with no conversion.
class PlainUtf8
{
public:
    static bool check(const char* begin, const char* end);
};
