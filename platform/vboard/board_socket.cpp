#include "board_socket.h"

#include "board_model.h"
#include "fault_grammar.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace vboard {
namespace {

// A few hundred bytes at most; a larger file is not a socket.
constexpr std::size_t kLargestSocket = 4096;

std::optional<std::string> read_small_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string text(kLargestSocket + 1, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    return text;
}

} // namespace

BoardSocket::BoardSocket(std::string file, SocketBoard fallback)
    : file_(std::move(file)), fallback_(std::move(fallback)) {}

bool BoardSocket::exists() const {
    std::error_code ec;
    return active() && std::filesystem::exists(file_, ec);
}

std::optional<SocketBoard> BoardSocket::look() {
    if (!active()) return std::nullopt;
    std::optional<std::string> text = read_small_file(file_);
    if (looked_ && text == last_) return std::nullopt;
    looked_ = true;
    last_ = text;
    return text ? parse(*text) : fallback_;
}

SocketBoard BoardSocket::parse(const std::string& text) const {
    SocketBoard board{.path = {}, .faults = fallback_.faults, .part = fallback_.part};
    if (text.size() > kLargestSocket) {
        complain(file_ + " is too large for a socket; no board on it");
        return board;
    }
    std::istringstream lines(text);
    std::string path;
    for (std::string line; std::getline(lines, line);) {
        line = trim(line.substr(0, line.find_last_not_of("\r\n") + 1));
        if (line.empty()) continue;
        std::string error;
        if (line.rfind("faults=", 0) == 0) {
            Faults parsed;
            if (!parse_faults(line.substr(7), parsed, error, fallback_.faults)) {
                complain(file_ + ": " + error + "; no board on it");
                return {.path = {}, .faults = fallback_.faults, .part = fallback_.part};
            }
            board.faults = parsed;
        } else if (line.rfind("part=", 0) == 0) {
            const std::string part = trim(line.substr(5));
            if (part != "default" && part != "other") {
                complain(file_ + ": part must be default or other; no board on it");
                return {.path = {}, .faults = fallback_.faults, .part = fallback_.part};
            }
            board.part = part == "other" ? &other_part() : &default_part();
        } else if (path.empty()) {
            path = line;
        }
    }
    if (!path.empty() && std::filesystem::path(path).is_relative())
        path = (std::filesystem::path(file_).parent_path() / path).string();
    board.path = path;
    return board;
}

} // namespace vboard
