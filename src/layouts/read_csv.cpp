// Point lists: a header row naming the columns, then one LED a row.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "layouts/layouts.h"
#include "layouts/layouts_internal.h"

namespace {

std::string Trimmed(const std::string& text) {
    size_t begin = 0, end = text.size();
    while (begin < end && (text[begin] == ' ' || text[begin] == '\t')) ++begin;
    while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t')) --end;
    std::string out = text.substr(begin, end - begin);
    if (out.size() >= 2 && out.front() == '"' && out.back() == '"')
        out = out.substr(1, out.size() - 2);
    return out;
}

std::vector<std::string> Fields(const std::string& line, char separator) {
    std::vector<std::string> fields;
    size_t start = 0;
    while (true) {
        const size_t end = line.find(separator, start);
        fields.push_back(Trimmed(line.substr(start, end - start)));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return fields;
}

bool ParseReal(const std::string& text, double* out) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    *out = std::strtod(text.c_str(), &end);
    return end != nullptr && *end == '\0' && errno == 0 && std::isfinite(*out);
}

bool ParseWhole(const std::string& text, long long low, long long high, long long* out) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    *out = std::strtoll(text.c_str(), &end, 10);
    return end != nullptr && *end == '\0' && errno == 0 && *out >= low && *out <= high;
}

struct CsvRow {
    long long index;  // the index column, or the row's place in the file
    PlacedLed led;
};

}  // namespace

bool ReadCsvLayout(const std::string& name, const std::string& text, const ReadOptions& options,
                   LayoutPiece* piece, std::string* error) {
    piece->source = name;
    piece->chains.clear();
    std::vector<CsvRow> rows[kPortCount];
    int columnX = -1, columnY = -1, columnPort = -1, columnIndex = -1;
    size_t needed = 0;
    char separator = ',';
    bool haveHeader = false;
    uint32_t lineNumber = 0;
    long long order = 0;
    // Spreadsheets often save a byte order mark before the header.
    size_t position = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    auto fail = [&](const std::string& cause) {
        *error = name + ":" + std::to_string(lineNumber) + ": " + cause;
        return false;
    };
    while (position < text.size()) {
        size_t end = text.find('\n', position);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(position, end - position);
        position = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::string trimmed = Trimmed(line);
        if (trimmed.empty() || trimmed[0] == '#') continue;
        if (!haveHeader) {
            if (line.find(',') == std::string::npos) {
                if (line.find(';') != std::string::npos)
                    separator = ';';
                else if (line.find('\t') != std::string::npos)
                    separator = '\t';
            }
            std::vector<std::string> names = Fields(line, separator);
            for (size_t c = 0; c < names.size(); ++c) {
                std::string lower = names[c];
                for (char& ch : lower) ch = char(std::tolower(static_cast<unsigned char>(ch)));
                int* column = lower == "x"       ? &columnX
                              : lower == "y"     ? &columnY
                              : lower == "port"  ? &columnPort
                              : lower == "index" ? &columnIndex
                                                 : nullptr;
                if (column == nullptr) continue;
                if (*column >= 0) return fail("the column " + lower + " is named twice");
                *column = int(c);
                needed = std::max(needed, c + 1);
            }
            if (columnX < 0 || columnY < 0)
                return fail("the header row names no x and y columns (port,index,x,y)");
            if (columnPort < 0 && options.port < 0)
                return fail("no port column: give the port with --port");
            if (columnPort >= 0 && options.port >= 0)
                return fail("the file has a port column; --port is for files without one");
            haveHeader = true;
            continue;
        }
        std::vector<std::string> fields = Fields(line, separator);
        if (fields.size() < needed)
            return fail("expected " + std::to_string(needed) + " fields, found " +
                        std::to_string(fields.size()));
        double x, y;
        if (!ParseReal(fields[columnX], &x))
            return fail("x is not a number: '" + fields[columnX] + "'");
        if (!ParseReal(fields[columnY], &y))
            return fail("y is not a number: '" + fields[columnY] + "'");
        long long port = options.port + 1;
        if (columnPort >= 0 && !ParseWhole(fields[columnPort], 1, kPortCount, &port))
            return fail("the port is not a number 1..256: '" + fields[columnPort] + "'");
        long long index = order++;
        if (columnIndex >= 0 && !ParseWhole(fields[columnIndex], 0, 1LL << 40, &index))
            return fail("the index is not a whole number from 0: '" + fields[columnIndex] + "'");
        rows[port - 1].push_back({index, PlaceLed(options.place, x, y, lineNumber)});
    }
    if (!haveHeader) {
        *error = name + ": no header row (port,index,x,y)";
        return false;
    }
    for (int port = 0; port < kPortCount; ++port) {
        std::vector<CsvRow>& list = rows[port];
        if (list.empty()) continue;
        std::stable_sort(list.begin(), list.end(),
                         [](const CsvRow& a, const CsvRow& b) { return a.index < b.index; });
        PieceChain chain{port, {}};
        chain.leds.reserve(list.size());
        for (size_t i = 0; i < list.size(); ++i) {
            if (i > 0 && list[i].index == list[i - 1].index) {
                const CsvRow& later =
                    list[i].led.line > list[i - 1].led.line ? list[i] : list[i - 1];
                const CsvRow& earlier = &later == &list[i] ? list[i - 1] : list[i];
                *error = LedWhere(name, "", later.led) + "index " + std::to_string(later.index) +
                         " of port " + std::to_string(port + 1) + " is also on line " +
                         std::to_string(earlier.led.line);
                return false;
            }
            chain.leds.push_back(list[i].led);
        }
        piece->chains.push_back(std::move(chain));
    }
    if (piece->chains.empty()) {
        *error = name + ": no LEDs after the header row";
        return false;
    }
    return true;
}
