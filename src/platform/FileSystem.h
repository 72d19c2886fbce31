// File access by Windows-style paths: ".\Data\Gui.png" is looked up as ./Data/GUI.png
// or any other spelling that differs only in letter case (ASCII letters; other bytes,
// such as UTF-8 "ñ", must match exactly).
#pragma once

#include <cstdio>
#include <string>

namespace platform {

// Turns backslashes into slashes; "Data\x" stays relative to the current directory.
std::string ToHostPath(const std::string& windowsPath);

// The existing file the path names, found without regard to letter case at every
// level; empty when there is none.
std::string ResolvePath(const std::string& windowsPath);

// fopen through ResolvePath. For writing ("w" modes) a missing file is created under
// the resolved folder with the name as given.
std::FILE* OpenFile(const std::string& windowsPath, const char* mode);

// Whole file into memory; false when it cannot be opened or is larger than maxBytes.
bool ReadWholeFile(const std::string& windowsPath, std::string* out,
                   std::size_t maxBytes = 256u * 1024u * 1024u);

// Replaces the file's whole content: writes a temporary file beside it and renames it
// over the old one, so a failure (read-only folder, full disk) leaves the old file as
// it was. False on any failure.
bool ReplaceFile(const std::string& windowsPath, const void* data, std::size_t size);

}  // namespace platform
