#pragma once
// Whole-file reads and rewrites of the data files. A rewrite writes NAME.TMP
// beside the file, closes it and then puts it in the file's place in one
// step, so a failed write or close leaves the old file as it was. All of
// it goes through the steps of file_ops.h.

#include <string>
#include <string_view>

namespace zelo {

// "DIR/NAME.EXT" -> "DIR/NAME.TMP" (".TMP" appended when there is no
// extension).
std::string tempPathFor(const std::string& path);

// Reads the whole file. False when it cannot be opened or read.
bool readWholeFile(const std::string& path, std::string& contents);

// Replaces the file's contents as described above. False, with the old file
// untouched and no temporary file left, when any step fails.
bool replaceFile(const std::string& path, std::string_view contents);

// Appends `text` in one write. False when the file cannot be opened or the
// write or close fails; the file is then cut back to its old length (or
// removed again when this call created it), so no half entry stays behind.
bool appendToFile(const std::string& path, std::string_view text);

// Deletes the file; false when it could not be deleted.
bool removeFile(const std::string& path);

}  // namespace zelo
