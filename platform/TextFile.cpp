#include "platform/TextFile.h"

#include <deque>
#include <unordered_map>

#include "platform/Text.h"

TextFile::TextFile(std::string_view bytes, std::string_view newLineEnd) {
    std::size_t start = 0;
    while (start < bytes.size()) {
        const std::size_t stop = bytes.find_first_of("\r\n", start);
        Line line;
        line.bytes =
            bytes.substr(start, stop == std::string_view::npos ? std::string_view::npos : stop - start);
        if (stop == std::string_view::npos) {
            start = bytes.size();
        } else {
            const std::size_t width = bytes.compare(stop, 2, "\r\n") == 0 ? 2 : 1;
            line.end = bytes.substr(stop, width);
            start = stop + width;
            if (lineEnd_.empty()) lineEnd_ = line.end;
        }
        line.shown = DisplayText(line.bytes);
        lines_.push_back(std::move(line));
    }
    if (lineEnd_.empty()) lineEnd_ = newLineEnd;
    endsWithLineEnd_ = lines_.empty() || !lines_.back().end.empty();
}

std::vector<std::string> TextFile::ShownLines() const {
    std::vector<std::string> shown;
    shown.reserve(lines_.size());
    for (const Line& line : lines_) shown.push_back(line.shown);
    return shown;
}

std::vector<long> TextFile::Match(const std::vector<std::string>& edited) const {
    const std::size_t n = edited.size(), m = lines_.size();
    std::vector<long> match(n, -1);
    std::size_t head = 0;
    while (head < n && head < m && edited[head] == lines_[head].shown) {
        match[head] = static_cast<long>(head);
        ++head;
    }
    std::size_t tail = 0;
    while (tail < n - head && tail < m - head && edited[n - 1 - tail] == lines_[m - 1 - tail].shown) {
        match[n - 1 - tail] = static_cast<long>(m - 1 - tail);
        ++tail;
    }
    // Between them, lines the user moved or left among edits, each original used once.
    std::unordered_map<std::string_view, std::deque<long>> unused;
    for (std::size_t i = head; i < m - tail; ++i) unused[lines_[i].shown].push_back(static_cast<long>(i));
    for (std::size_t k = head; k < n - tail; ++k) {
        const auto found = unused.find(edited[k]);
        if (found == unused.end() || found->second.empty()) continue;
        match[k] = found->second.front();
        found->second.pop_front();
    }
    return match;
}

std::string TextFile::Bytes(const std::vector<std::string>& edited) const {
    const std::vector<long> match = Match(edited);
    std::string out;
    for (std::size_t k = 0; k < edited.size(); ++k) {
        const Line* original = match[k] < 0 ? nullptr : &lines_[static_cast<std::size_t>(match[k])];
        out += original ? original->bytes : edited[k];
        const bool last = k + 1 == edited.size();
        if (last && !endsWithLineEnd_) break;
        out += original && !original->end.empty() ? original->end : lineEnd_;
    }
    return out;
}
