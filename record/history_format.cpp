#include "history_format.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

namespace plexmoor::record {
namespace {

std::string Opt(const std::optional<int64_t>& n) {
    return n ? std::to_string(*n) : std::string();
}

// A cell a spreadsheet would take for a formula (a station, an image name
// or a serial made to begin with =, +, - or @) is kept as text: quoted, with
// an apostrophe before it, as spreadsheets expect.
std::string CsvField(const std::string& s) {
    const bool formula = !s.empty() && std::string_view("=+-@\t\r").find(s[0]) != std::string::npos;
    if (!formula && s.find_first_of(",\"\n\r") == std::string::npos) return s;
    std::string out = formula ? "\"'" : "\"";
    for (char c : s)
        out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

// A cell of the terminal's table: a control character (an escape sequence
// a name was made of) is shown, not sent to the terminal.
std::string TableCell(const std::string& s) {
    std::string out;
    for (unsigned char c : s) {
        if (c < 0x20 || c == 0x7F) {
            char shown[8];
            std::snprintf(shown, sizeof shown, "\\x%02X", c);
            out += shown;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

// Numbers stay numbers in JSON.
bool Numeric(const char* column) {
    const std::string c = column;
    return c == "id" || c == "chip_size" || c == "image_size" || c == "address";
}

} // namespace

std::string JsonString(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", c);
            out += esc;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

const std::vector<Column>& Columns() {
    static const std::vector<Column> columns = {
        {"id", true, [](const Entry& e) { return std::to_string(e.id); }},
        {"started", true, [](const Entry& e) { return e.started; }},
        {"ended", false, [](const Entry& e) { return e.ended; }},
        {"station", true, [](const Entry& e) { return e.station; }},
        {"bridge", true, [](const Entry& e) { return e.bridge; }},
        {"chip_id", true, [](const Entry& e) { return e.chip_id; }},
        {"chip_size", false, [](const Entry& e) { return Opt(e.chip_size); }},
        {"operation", true, [](const Entry& e) { return std::string(Name(e.operation)); }},
        {"image", false, [](const Entry& e) { return e.image; }},
        {"image_size", false, [](const Entry& e) { return Opt(e.image_size); }},
        {"image_sha256", false, [](const Entry& e) { return e.image_sha256; }},
        {"address", false, [](const Entry& e) { return Opt(e.address); }},
        {"mode", false, [](const Entry& e) { return e.mode; }},
        {"serial", true, [](const Entry& e) { return e.serial; }},
        {"result", true, [](const Entry& e) { return std::string(Name(e.result)); }},
        {"message", true, [](const Entry& e) { return e.message; }},
        {"front_end", false, [](const Entry& e) { return std::string(Name(e.front_end)); }},
        {"board_serial", false, [](const Entry& e) { return e.board_serial; }},
    };
    return columns;
}

std::string Csv(const std::vector<Entry>& rows) {
    std::string out;
    for (const Column& c : Columns())
        out += (out.empty() ? "" : ",") + std::string(c.name);
    out += "\n";
    for (const Entry& e : rows) {
        std::string line;
        for (const Column& c : Columns())
            line += (&c == &Columns().front() ? "" : ",") + CsvField(c.text(e));
        out += line + "\n";
    }
    return out;
}

std::string Json(const std::vector<Entry>& rows) {
    std::string out = "[";
    for (const Entry& e : rows) {
        out += out.size() > 1 ? ",\n {" : "\n {";
        bool first = true;
        for (const Column& c : Columns()) {
            const std::string v = c.text(e);
            out += (first ? "" : ", ") + JsonString(c.name) + ": " +
                   (v.empty()         ? "null"
                    : Numeric(c.name) ? v
                                      : JsonString(v));
            first = false;
        }
        out += "}";
    }
    return out + (rows.empty() ? "]\n" : "\n]\n");
}

std::string Table(const std::vector<Entry>& rows) {
    std::vector<const Column*> shown;
    for (const Column& c : Columns())
        if (c.in_table) shown.push_back(&c);
    std::vector<std::size_t> width;
    for (const Column* c : shown) {
        std::size_t w = std::string(c->name).size();
        for (const Entry& e : rows)
            w = std::max(w, TableCell(c->text(e)).size());
        width.push_back(w);
    }
    auto line = [&](auto text) {
        std::string out;
        for (std::size_t i = 0; i < shown.size(); ++i) {
            std::string cell = text(*shown[i]);
            if (i + 1 < shown.size()) cell.resize(width[i] + 2, ' ');
            out += cell;
        }
        return out + "\n";
    };
    std::string out = line([](const Column& c) { return std::string(c.name); });
    for (const Entry& e : rows)
        out += line([&](const Column& c) { return TableCell(c.text(e)); });
    return out;
}

} // namespace plexmoor::record
