// The character classes of HTTP's own text: heads and chunk framing.
#pragma once

// Space or tab: the blanks that may surround a value.
constexpr bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

constexpr bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
