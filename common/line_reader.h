#pragma once
// Lines of a data file read from memory. A line ends at LF, CR LF or the end
// of the data; the line end is not part of it. A line longer than the
// program's 254-byte line buffer is cut and the rest of it dropped, so a
// damaged file can never shift the lines that follow.

#include <string>
#include <string_view>

namespace zelo {

inline constexpr std::size_t kLineMax = 253;  // 254 with its line end

class LineReader {
public:
    explicit LineReader(std::string_view data) noexcept : data_(data) {}

    // False at the end of the data.
    bool next(std::string& line);
    // The same without a copy: the view points into the data.
    bool next(std::string_view& line) noexcept;
    bool atEnd() const noexcept { return pos_ >= data_.size(); }

private:
    std::string_view data_;
    std::size_t pos_ = 0;
};

// Reading of records stops at a line whose first byte is a control
// character (an empty line among them). Bytes from 0x80 up, such as the
// first byte of a Shift-JIS name, are text.
inline bool isStopLine(std::string_view line) noexcept {
    return line.empty() || static_cast<unsigned char>(line[0]) < 0x20;
}

}  // namespace zelo
