#include "history/Csv.h"

std::string CsvField(std::string_view utf8, bool guard)
{
    std::string text;
    text.reserve(utf8.size() + 3);
    if (guard && !utf8.empty()
        && (utf8[0] == '=' || utf8[0] == '+' || utf8[0] == '-' || utf8[0] == '@' || utf8[0] == '\t' || utf8[0] == '\r'))
        text += '\'';
    bool quote = false;
    for (char c : utf8) {
        if (c == '\0') {
            text += '?';
            continue;
        }
        quote = quote || c == ',' || c == '"' || c == '\r' || c == '\n' || c == '\t';
        if (c == '"')
            text += '"';
        text += c;
    }
    return quote ? '"' + text + '"' : text;
}

std::string CsvRow(const std::vector<std::string>& fields)
{
    std::string row;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i)
            row += ',';
        row += fields[i];
    }
    return row + "\r\n";
}
