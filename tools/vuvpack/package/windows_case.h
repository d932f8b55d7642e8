// Names as Windows compares them: without regard to case.
#pragma once

#include <string>

// The UTF-16 unit in upper case, by Unicode's simple mapping of the BMP:
// the kind of table Windows upper-cases names with (surrogates stay as
// they are, as there). Windows' table comes from the Unicode version of
// the system, usually older: letters given a case since (Georgian
// Mtavruli, Cherokee small letters) compare equal here and may not there.
char16_t WindowsUpperCase(char16_t unit);

// The name with every unit upper-cased: two names are one to Windows when
// these are equal.
std::u16string WindowsCaseKey(const std::u16string& name);
