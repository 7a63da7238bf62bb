#include "text_functions.h"

namespace plexmoor {

std::string FieldOf(std::string_view text, std::string_view delimiter, int n) {
    if (n <= 0) return {};
    if (delimiter.empty()) return n == 1 ? std::string(text) : std::string();
    std::size_t start = 0;
    std::size_t search = 0;
    for (int field = 1;; ++field) {
        std::size_t hit = text.find(delimiter, search);
        if (field == n) {
            return std::string(text.substr(
                start, hit == std::string_view::npos ? std::string_view::npos : hit - start));
        }
        if (hit == std::string_view::npos) return {};
        start = hit + 1;
        search = hit + 1;
    }
}

std::string Trim(std::string_view text) {
    std::size_t begin = text.find_first_not_of(' ');
    if (begin == std::string_view::npos) return {};
    std::size_t end = text.find_last_not_of(' ');
    return std::string(text.substr(begin, end - begin + 1));
}

std::string JoinLines(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    bool in_break = false;
    for (char ch : text) {
        bool is_break = ch == '\r' || ch == '\n';
        if (!is_break) {
            out += ch;
        } else if (!in_break) {
            out += ' ';
        }
        in_break = is_break;
    }
    return out;
}

std::string ReplaceRuns(std::string_view text, char c, std::string_view r) {
    std::string out;
    out.reserve(text.size());
    bool in_run = false;
    for (char ch : text) {
        if (ch != c) {
            out += ch;
        } else if (!in_run) {
            out += r;
        }
        in_run = ch == c;
    }
    return out.empty() ? std::string(text) : out;
}

std::string Token(std::string_view text) {
    return Trim(JoinLines(text));
}

} // namespace plexmoor
