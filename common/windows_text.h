// Windows only: the program keeps texts, paths included, as UTF-8; the wide-character Windows
// API takes UTF-16. These convert between the two, so that folders whose names lie outside the
// ANSI code page work.
#pragma once

#include <string>

std::wstring to_wide(const std::string& utf8);
std::string from_wide(const std::wstring& utf16);
