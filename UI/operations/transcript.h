// What the person was told, in order, whoever told it: the operations'
// own boxes and the library's. An operation marks where it began and takes
// what came after for its outcome and its record row.
#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <vector>

namespace plexmoor::ops {

class Transcript {
  public:
    void note(std::string text) {
        texts_.push_back(std::move(text));
        ++count_;
        // A run that floods (a board pulled mid-write) keeps its last words.
        if (texts_.size() > kKept) texts_.pop_front();
    }
    std::size_t mark() const { return count_; }
    // Everything told since mark, as far as it is kept.
    std::vector<std::string> since(std::size_t mark) const {
        const std::size_t first = count_ - texts_.size();
        std::vector<std::string> out;
        for (std::size_t i = mark > first ? mark - first : 0; i < texts_.size(); ++i)
            out.push_back(texts_[i]);
        return out;
    }
    std::size_t count() const { return count_; }

  private:
    static constexpr std::size_t kKept = 64;
    std::deque<std::string> texts_;
    std::size_t count_ = 0;
};

} // namespace plexmoor::ops
