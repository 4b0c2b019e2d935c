#include "common/file_replace.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "common/file_ops.h"

namespace zelo {

std::string tempPathFor(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    const std::size_t dot = path.find_last_of('.');
    const bool hasExtension =
        dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (hasExtension ? path.substr(0, dot) : path) + ".TMP";
}

bool readWholeFile(const std::string& path, std::string& contents) {
    std::FILE* f = openFile(path, "rb");
    if (!f) return false;
    contents.clear();
    char buf[8192];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) contents.append(buf, n);
    const bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

namespace {

// The directory that holds `path`, as the system can open it.
std::string directoryOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    if (slash == std::string::npos) return ".";
    return path.substr(0, slash + 1);
}

}  // namespace

bool replaceFile(const std::string& path, std::string_view contents) {
    FileOps& ops = fileOps();
    const std::string temp = tempPathFor(path);
    std::FILE* f = ops.open(temp, "wb");
    if (!f) return false;
    // The new contents are on the disk before they take the old file's
    // place: a power cut after the rename must not leave an empty file.
    const bool written = ops.write(f, contents.data(), contents.size()) == contents.size();
    const bool synced = written && ops.sync(f);
    const bool closed = ops.close(f);
    if (!synced || !closed || !ops.rename(temp, path)) {
        ops.remove(temp);
        return false;
    }
    // Without this a power cut may still bring back the old file; never a
    // mix of both. The new file is in place and is what the caller's memory
    // now holds, so a failure here does not undo the rewrite.
    ops.syncDirectory(directoryOf(path));
    return true;
}

std::vector<bool> replaceFiles(const std::vector<FileContents>& files) {
    FileOps& ops = fileOps();
    std::vector<bool> done(files.size(), false);
    std::vector<std::string> temps(files.size());
    // A slice of files is written before any of them is flushed, so the
    // system can put them on the disk together; slices keep the number of
    // files open at once small.
    constexpr std::size_t kSlice = 32;
    std::FILE* open[kSlice];
    bool written[kSlice];
    for (std::size_t first = 0; first < files.size(); first += kSlice) {
        const std::size_t count = std::min(kSlice, files.size() - first);
        for (std::size_t k = 0; k < count; ++k) {
            const FileContents& file = files[first + k];
            temps[first + k] = tempPathFor(file.path);
            open[k] = ops.open(temps[first + k], "wb");
            written[k] = open[k] && ops.write(open[k], file.contents.data(),
                                              file.contents.size()) == file.contents.size();
        }
        for (std::size_t k = 0; k < count; ++k) {
            if (!open[k]) continue;
            const bool synced = written[k] && ops.sync(open[k]);
            const bool closed = ops.close(open[k]);
            if (synced && closed)
                done[first + k] = true;
            else
                ops.remove(temps[first + k]);
        }
    }
    // Each new file is on the disk before it takes the old one's place.
    std::vector<std::string> directories;
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (!done[i]) continue;
        if (!ops.rename(temps[i], files[i].path)) {
            ops.remove(temps[i]);
            done[i] = false;
            continue;
        }
        std::string directory = directoryOf(files[i].path);
        if (std::find(directories.begin(), directories.end(), directory) == directories.end())
            directories.push_back(std::move(directory));
    }
    // As with one file, a failed flush of a directory does not undo the
    // replacements: the new files are in place.
    for (const std::string& directory : directories) ops.syncDirectory(directory);
    return done;
}

bool appendToFile(const std::string& path, std::string_view text) {
    FileOps& ops = fileOps();
    std::error_code ec;
    const std::uintmax_t before = std::filesystem::file_size(fsPath(path), ec);
    const bool existed = !ec;
    std::FILE* f = ops.open(path, "ab");
    if (!f) return false;
    const bool written = ops.write(f, text.data(), text.size()) == text.size();
    const bool closed = ops.close(f);
    if (written && closed) return true;
    // Half an entry would run into the next one: the file goes back to what
    // it was (or away, when this call made it).
    if (existed)
        ops.truncate(path, before);
    else
        ops.remove(path);
    return false;
}

bool makeDirectories(const std::string& path) {
    const auto separator = [](char c) { return c == '/' || c == '\\'; };
    std::size_t end = path.size();
    while (end > 0 && separator(path[end - 1])) --end;
    if (end == 0) return false;
    FileOps& ops = fileOps();
    // The levels above, from the top; one that exists already (or is a
    // drive or a share) simply fails to be made again.
    for (std::size_t i = 1; i < end; ++i)
        if (separator(path[i]) && !separator(path[i - 1]) && path[i - 1] != ':')
            ops.makeDirectory(path.substr(0, i));
    return ops.makeDirectory(path.substr(0, end));
}

bool removeFile(const std::string& path) {
    return fileOps().remove(path);
}

}  // namespace zelo
