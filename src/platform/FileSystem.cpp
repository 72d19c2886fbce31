#include "platform/FileSystem.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include <vector>

namespace platform {

namespace {

bool Exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

bool IsFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The entry of `dir` whose name equals `name` ignoring ASCII case; empty when none.
std::string FindEntry(const std::string& dir, const std::string& name) {
  if (Exists(dir + "/" + name)) return name;
  DIR* d = ::opendir(dir.c_str());
  if (!d) return {};
  std::string found;
  while (dirent* e = ::readdir(d)) {
    if (::strcasecmp(e->d_name, name.c_str()) == 0) {
      found = e->d_name;
      break;
    }
  }
  ::closedir(d);
  return found;
}

std::vector<std::string> SplitPath(const std::string& path) {
  std::vector<std::string> parts;
  std::string cur;
  for (char c : path) {
    if (c == '/') {
      parts.push_back(cur);
      cur.clear();
    } else {
      cur += c;
    }
  }
  parts.push_back(cur);
  return parts;
}

// Resolves every component but the last; returns the host folder, or empty when a
// folder along the way is missing.
bool ResolveFolders(const std::vector<std::string>& parts, std::string* folder) {
  std::string dir = parts.empty() || !parts[0].empty() ? "." : "";
  std::size_t first = 0;
  if (!parts.empty() && parts[0].empty()) {
    dir = "";
    first = 1;
  }
  for (std::size_t i = first; i + 1 < parts.size(); ++i) {
    const std::string& p = parts[i];
    if (p.empty() || p == ".") continue;
    if (p == "..") {
      dir += "/..";
      continue;
    }
    const std::string entry = FindEntry(dir.empty() ? "/" : dir, p);
    if (entry.empty()) return false;
    dir += "/" + entry;
  }
  *folder = dir.empty() ? "/" : dir;
  return true;
}

}  // namespace

std::string ToHostPath(const std::string& windowsPath) {
  std::string out = windowsPath;
  for (char& c : out)
    if (c == '\\') c = '/';
  return out;
}

std::string ResolvePath(const std::string& windowsPath) {
  const std::string host = ToHostPath(windowsPath);
  if (host.empty()) return {};
  if (IsFile(host)) return host;
  const auto parts = SplitPath(host);
  std::string folder;
  if (!ResolveFolders(parts, &folder)) return {};
  if (parts.back().empty()) return {};
  const std::string entry = FindEntry(folder, parts.back());
  if (entry.empty() || !IsFile(folder + "/" + entry)) return {};
  return folder + "/" + entry;
}

std::FILE* OpenFile(const std::string& windowsPath, const char* mode) {
  const std::string resolved = ResolvePath(windowsPath);
  if (!resolved.empty()) return std::fopen(resolved.c_str(), mode);
  if (mode[0] != 'w' && mode[0] != 'a') return nullptr;
  const auto parts = SplitPath(ToHostPath(windowsPath));
  std::string folder;
  if (parts.back().empty() || !ResolveFolders(parts, &folder)) return nullptr;
  return std::fopen((folder + "/" + parts.back()).c_str(), mode);
}

bool ReadWholeFile(const std::string& windowsPath, std::string* out, std::size_t maxBytes) {
  std::FILE* f = OpenFile(windowsPath, "rb");
  if (!f) return false;
  out->clear();
  char buf[65536];
  std::size_t n;
  bool ok = true;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
    if (out->size() + n > maxBytes) {
      ok = false;
      break;
    }
    out->append(buf, n);
  }
  if (std::ferror(f)) ok = false;
  std::fclose(f);
  if (!ok) out->clear();
  return ok;
}

bool ReplaceFile(const std::string& windowsPath, const void* data, std::size_t size) {
  const auto parts = SplitPath(ToHostPath(windowsPath));
  std::string folder;
  if (parts.back().empty() || !ResolveFolders(parts, &folder)) return false;
  std::string name = FindEntry(folder, parts.back());
  if (name.empty()) name = parts.back();
  const std::string target = folder + "/" + name;
  const std::string temporary = target + ".new";
  std::FILE* f = std::fopen(temporary.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(data, 1, size, f) == size;
  ok = std::fflush(f) == 0 && ok;
  ok = ::fsync(::fileno(f)) == 0 && ok;
  ok = std::fclose(f) == 0 && ok;
  if (ok) ok = std::rename(temporary.c_str(), target.c_str()) == 0;
  if (!ok) std::remove(temporary.c_str());
  return ok;
}

}  // namespace platform
