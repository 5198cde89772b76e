// Full paths of the files the program reads and writes: always a directory (given without a
// trailing separator) joined to a plain file name with the platform's separator.
#pragma once

#include <string>

// The separator between a directory and a file name: "\" on Windows, "/" elsewhere (defined
// beside each platform's file system).
extern const char kPathSeparator;

// `path` made absolute against the working folder as the platform spells it ("C:\x\y" on
// Windows); `path` itself when it is absolute already or the working folder cannot be had
// (defined beside each platform's file system).
std::string absolute_path(const std::string& path);

// `directory`, the separator and `file_name`, concatenated in that order.
std::string path_in(const std::string& directory, const std::string& file_name);

// The directory part of `path`: everything before its last separator, so without a trailing
// separator. A path in the root directory gives an empty text, which path_in() joins back to
// the root. A path with no separator gives ".".
std::string directory_of(const std::string& path);

// The folder that holds the file at `path`, as a path that opens as that folder: everything
// before its last separator ('/' as well on Windows), keeping the separator of a root ("/",
// "C:\"); "." for a bare name, and on Windows "C:" for "C:name", the drive's current folder.
std::string folder_of(const std::string& path);

// The last part of `path`: the file's own name, after the last separator ('/' as well on
// Windows, where both separate).
std::string file_name_of(const std::string& path);
