#include "common/line_reader.h"

namespace zelo {

bool LineReader::next(std::string& line) {
    std::string_view view;
    if (!next(view)) return false;
    line.assign(view);
    return true;
}

bool LineReader::next(std::string_view& line) noexcept {
    if (pos_ >= data_.size()) return false;
    std::size_t end = data_.find('\n', pos_);
    const std::size_t next = end == std::string_view::npos ? data_.size() : end + 1;
    if (end == std::string_view::npos) end = data_.size();
    std::string_view raw = data_.substr(pos_, end - pos_);
    if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
    line = raw.substr(0, kLineMax);
    pos_ = next;
    return true;
}

}  // namespace zelo
