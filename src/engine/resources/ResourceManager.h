// The cache behind every asset type: one manager per type maps a case-insensitive
// name to one shared, reference-counted object, loading it on first use and handing
// out the manager's default object when a load fails.
#pragma once

#include <cctype>
#include <string>
#include <unordered_map>

// The folder every asset is read from (".\Data\"); the game may overwrite it at start-up.
extern std::string dataRoot;

template <typename T>
class ResourceManager {
 public:
  // Creates the "__DEFAULT__" entry when the type has one (not the model and mesh managers).
  explicit ResourceManager(bool withDefault = true) {
    if (withDefault) defaultResource = &InsertEmpty(kDefaultName);
  }

  // Creates the entry for an upper-cased key and fills it; false leaves no entry behind.
  virtual bool Load(const std::string& key) = 0;

  // Destroys every entry, the defaults included; each releases its own device objects.
  virtual ~ResourceManager() = default;

  // The folder this type's files are read from.
  virtual std::string Folder() const { return dataRoot; }

  // The entry for name, loaded on first use; defaultResource (null for managers without
  // one) when it cannot be loaded. A hit adds one to the entry's refCount.
  T* Acquire(const std::string& name) {
    const std::string key = MakeKey(name);
    auto it = resources.find(key);
    if (it != resources.end()) {
      ++it->second.refCount;
      return &it->second;
    }
    if (!Load(key)) return defaultResource;
    it = resources.find(key);
    return it != resources.end() ? &it->second : defaultResource;
  }

  // Drops one reference; an entry already at count 0 is destroyed. Default entries are
  // never destroyed this way: defaultResource is handed out for every failed load, so
  // erasing it would leave later callers a dangling pointer.
  void Release(const std::string& name) {
    auto it = resources.find(MakeKey(name));
    if (it == resources.end()) return;
    if (it->second.refCount != 0) {
      --it->second.refCount;
      return;
    }
    if (IsDefaultEntry(&it->second)) return;
    resources.erase(it);
  }

  // The entry stored under name without loading or counting; null when there is none.
  T* Find(const std::string& name) {
    auto it = resources.find(MakeKey(name));
    return it != resources.end() ? &it->second : nullptr;
  }
  std::size_t EntryCount() const { return resources.size(); }
  T* GetDefault() const { return defaultResource; }

  // Names are case-insensitive: every character passes through toupper in the "C"
  // locale, so only a–z change and other bytes (Windows-1252 letters) stay as they are.
  static std::string MakeKey(const std::string& name) {
    std::string key = name;
    for (char& c : key) {
      const unsigned char u = static_cast<unsigned char>(c);
      if (u >= 'a' && u <= 'z') c = static_cast<char>(u - 'a' + 'A');
    }
    return key;
  }

  // The characters after the last backslash, or the whole key.
  static std::string FileNamePart(const std::string& key) {
    const std::size_t slash = key.rfind('\\');
    return slash == std::string::npos ? key : key.substr(slash + 1);
  }

  static constexpr const char* kDefaultName = "__DEFAULT__";

 protected:
  virtual bool IsDefaultEntry(const T* entry) const { return entry == defaultResource; }

  // The entry under key, default-constructed first if there is none.
  T& InsertEmpty(const std::string& key) {
    T& entry = resources.try_emplace(key).first->second;
    if (key == kDefaultName) entry.name = key;
    return entry;
  }

  // The common shape of a file-reading Load: the entry is created, the file named by
  // Folder() and the key's file-name part is handed to loader(entry, path), and a
  // failed load erases the entry again. nameFirst names the entry before loading (the
  // model readers look their own name up while they load).
  template <typename Loader>
  bool LoadFromFolder(const std::string& key, Loader&& loader, bool nameFirst = false) {
    T& entry = InsertEmpty(key);
    if (nameFirst) entry.name = key;
    const std::string path = Folder() + FileNamePart(key);
    if (!loader(entry, path)) {
      resources.erase(key);
      return false;
    }
    entry.name = key;
    entry.refCount = 1;
    return true;
  }

  // A named, empty entry with count 1 and no file read (fonts, "AUTO_" names).
  T& CreateEmptyEntry(const std::string& key) {
    T& entry = InsertEmpty(key);
    entry.name = key;
    entry.refCount = 1;
    return entry;
  }

  static bool IsAutoName(const std::string& key) { return key.compare(0, 5, "AUTO_") == 0; }

  std::unordered_map<std::string, T> resources;  // owns the entries; node addresses are stable
  T* defaultResource = nullptr;                  // points into resources; null for models, meshes
};
