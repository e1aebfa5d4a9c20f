// CSV that Japanese spreadsheets open as it is: UTF-8 with a byte-order mark,
// fields quoted per RFC 4180, rows ended by CRLF.
#pragma once

#include <string>
#include <string_view>
#include <vector>

inline constexpr std::string_view kCsvBom = "\xEF\xBB\xBF";

// One field from UTF-8. Text (guard) that a spreadsheet would take for a
// formula (=, +, -, @, a tab or CR first) gets a leading apostrophe; a NUL,
// which spreadsheets cut the cell at, becomes '?', as other bytes without a
// character do.
std::string CsvField(std::string_view utf8, bool guard = true);

// A row of fields already made by CsvField, with its CRLF.
std::string CsvRow(const std::vector<std::string>& fields);
