#pragma once
// A text file as it was read, so that an edit of it writes back what the user did not change
// byte for byte: each line's own bytes and line end (LF, CR LF or CR), and whether the file
// ended with a line end. Lines are shown as UTF-8 (a line that is not UTF-8 read as
// Windows-1252); a line given back unchanged is written with its original bytes, an edited or
// new line as UTF-8 with the file's line end.
#include <string>
#include <string_view>
#include <vector>

class TextFile {
public:
    // bytes: the file's content; newLineEnd: the line end for a file that has none yet.
    TextFile(std::string_view bytes, std::string_view newLineEnd);

    // The lines as shown (UTF-8).
    std::vector<std::string> ShownLines() const;
    // The file's bytes for the lines as edited (UTF-8 texts). A line equal to a shown line keeps
    // that line's bytes and line end; lines are matched in order (the unchanged start and end,
    // then the rest by their text), so untouched lines stay as they were wherever the edits are.
    std::string Bytes(const std::vector<std::string>& edited) const;
    // The line end of new lines: the first one found, else newLineEnd.
    const std::string& LineEnd() const { return lineEnd_; }

private:
    struct Line {
        std::string bytes;  // without its line end
        std::string end;    // "\n", "\r\n", "\r", or "" for a last line without one
        std::string shown;
    };
    // For each edited line, the index of the original line it leaves unchanged, or -1.
    std::vector<long> Match(const std::vector<std::string>& edited) const;

    std::vector<Line> lines_;
    std::string lineEnd_;
    bool endsWithLineEnd_ = true;
};
