// Readers for skin attribute values. Every reader is total: malformed text is
// read as far as it goes and never fails or reads past the terminator.
#pragma once

#include "plat/sys/wintypes.h"

namespace Veneer {

// Integer: optional leading whitespace, optional sign, decimal digits;
// reading stops at the first other character; no digits gives 0 (and *end
// is the start of the text, as the C library does). Values beyond the int
// range saturate. `end` may be null.
int ParseAttrInt(const wchar_t* text, const wchar_t** end = nullptr);

// Number list: the first number as ParseAttrInt; each further number is read
// one character after the place where the previous one stopped, whatever that
// character is (so "1,2,3,4", "1 2 3 4" and "1;2;3;4" are equal). Numbers
// missing at the end of the text read as 0. Fills `out[0..count)`.
void ParseAttrIntList(const wchar_t* text, int* out, int count);

// Convenience forms of ParseAttrIntList.
plat::RECT ParseAttrRect(const wchar_t* text);
plat::SIZE ParseAttrSize(const wchar_t* text);

// Colour: when `skipLeadingSpace`, whitespace is skipped first; then an
// optional "#"; then a hexadecimal number (whitespace, sign and a "0x" prefix
// allowed) read as a 32-bit 0xAARRGGBB value. More than eight digits saturate
// to 0xFFFFFFFF; no digits give 0.
plat::DWORD ParseAttrColor(const wchar_t* text, bool skipLeadingSpace = false);

// Boolean: true only for the exact text "true".
bool ParseAttrBool(const wchar_t* text);

// Text equality for attribute names (exact, null-safe).
bool AttrNameIs(const wchar_t* name, const wchar_t* expected);

} // namespace Veneer
