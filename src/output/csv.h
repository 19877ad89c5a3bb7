// CSV fields and rows as RFC 4180 writes them: a field holding a comma, a double quote or a
// line break is put in double quotes, with its double quotes doubled.
#pragma once

#include <string>
#include <vector>

std::string CsvField(const std::string& text);
std::string CsvRow(const std::vector<std::string>& fields);
// Three decimals after a ".", under every locale: a comma would split the field.
std::string CsvDecimal(double value, int decimals = 3);
