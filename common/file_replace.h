#pragma once
// Whole-file reads and rewrites of the data files. A rewrite writes NAME.TMP
// beside the file, flushes it to the disk, closes it and then puts it in the
// file's place in one step, and flushes the directory after that, so a
// failed write, sync or close leaves the old file as it was and a power cut
// leaves the old file or the new one. All of it goes through the steps of
// file_ops.h. Appends to logs are not flushed: a lost last line is cheaper
// than a sync for every line.

#include <string>
#include <string_view>
#include <vector>

namespace zelo {

// "DIR/NAME.EXT" -> "DIR/NAME.TMP" (".TMP" appended when there is no
// extension).
std::string tempPathFor(const std::string& path);

// Reads the whole file. False when it cannot be opened or read.
bool readWholeFile(const std::string& path, std::string& contents);

// Replaces the file's contents as described above. False, with the old file
// untouched and no temporary file left, when any step up to the rename
// fails. Once the rename is done the rewrite counts as done: a failed sync
// of the directory after it is not reported (the new file is in place; a
// power cut could at worst bring back the old one).
bool replaceFile(const std::string& path, std::string_view contents);

// A file's path and the contents that are to replace it.
struct FileContents {
    std::string path;
    std::string contents;
};

// Several files (distinct paths) replaced together, each as replaceFile
// would, with the flushes batched: every new contents is written to its
// temporary file and flushed to the disk, then each takes its file's place,
// then each directory involved is flushed once. A power cut leaves each file
// old or new. One entry per file in the result, true when it was replaced;
// a file whose temporary file could not be written, flushed, closed or
// renamed keeps its old contents and leaves no temporary file behind, and
// the others go ahead.
std::vector<bool> replaceFiles(const std::vector<FileContents>& files);

// Appends `text` in one write. False when the file cannot be opened or the
// write or close fails; the file is then cut back to its old length (or
// removed again when this call created it), so no half entry stays behind.
bool appendToFile(const std::string& path, std::string_view text);

// Creates the directory `path` (with or without a trailing separator) and
// every missing directory above it. True only when the last one was created
// by this call; false when it was there already or could not be made.
bool makeDirectories(const std::string& path);

// Deletes the file; false when it could not be deleted.
bool removeFile(const std::string& path);

}  // namespace zelo
