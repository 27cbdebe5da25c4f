// The registry store on POSIX systems: one file per root, re-read when it changed on disk and rewritten
// atomically under an advisory lock on every change.
#include <doroutil/logmgr.h>
#include <doroutil/strutil.h>
#include <fcntl.h>
#include <platform/file_lock.h>
#include <platform/os.h>
#include <platform/registry.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "posix_files.h"
#include "registry_file.h"

namespace platform::reg {

// A handle: the root and the path of the key it names, and what it may do. The predefined roots are three
// static objects; every other handle comes from new and goes with RegCloseKey.
struct RegKey {
  int root = 0;
  std::vector<std::u16string> path;
  uint32_t access = 0;
};

namespace {
RegKey g_classesRoot{0, {}, KEY_ALL_ACCESS};
RegKey g_localMachine{1, {}, KEY_ALL_ACCESS};
RegKey g_currentUser{2, {}, KEY_ALL_ACCESS};
}  // namespace

const HKEY HKEY_CLASSES_ROOT = &g_classesRoot;
const HKEY HKEY_LOCAL_MACHINE = &g_localMachine;
const HKEY HKEY_CURRENT_USER = &g_currentUser;

namespace {

using namespace storefile;

const char* const kRootFiles[3] = {"HKCR.reg", "HKLM.reg", "HKCU.reg"};

// The longest names that the system registry takes, in UTF-16 units: a caller's enumeration buffers are sized so.
constexpr size_t kMaxKeyName = 255;
constexpr size_t kMaxValueName = 16383;

// ---- Files ----

struct FileStamp {
  bool exists = false;
  dev_t dev = 0;
  ino_t ino = 0;
  off_t size = 0;
  int64_t mtimeNs = 0;
  int64_t ctimeNs = 0;

  static FileStamp Of(const struct stat& st) {
    FileStamp s;
    s.exists = true;
    s.dev = st.st_dev;
    s.ino = st.st_ino;
    s.size = st.st_size;
    s.mtimeNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    s.ctimeNs = static_cast<int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    return s;
  }
  bool operator==(const FileStamp&) const = default;
};

FileStamp StampOf(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? FileStamp::Of(st) : FileStamp{};
}

enum class ReadResult { Ok, Missing, Failed };

// Reads the whole file, with the stamp of exactly what was read. Only the user's own regular file is read
// (and made the user's alone when others could read it); refusal says why any other is not.
ReadResult ReadStore(const std::string& path, std::string& text, FileStamp& stamp, std::string& refusal) {
  text.clear();
  stamp = FileStamp{};
  refusal.clear();
  const posix::ReadableFile file = posix::OpenRegularFile(path);
  if (file.fd < 0) {
    if (file.notRegular) refusal = std::string("is ") + file.kind + ", not a regular file; it is not used";
    return !file.notRegular && file.err == ENOENT ? ReadResult::Missing : ReadResult::Failed;
  }
  const int fd = file.fd;
  switch (posix::KeepPrivate(fd, file.st)) {
    case posix::Privacy::Refused:
      refusal = "belongs to another user; it is not used";
      ::close(fd);
      return ReadResult::Failed;
    case posix::Privacy::Repaired:
      refusal = "could be read or written by other users; its mode is now 0600";
      break;
    case posix::Privacy::Exposed:
      refusal = "can be read or written by other users, and its mode cannot be changed";
      break;
    case posix::Privacy::Private:
      break;
  }
  stamp = FileStamp::Of(file.st);
  text.resize(static_cast<size_t>(file.st.st_size));
  size_t len = 0;
  while (true) {
    if (len == text.size()) text.resize(text.size() + 4096);
    const ssize_t n = posix::Read(fd, text.data() + len, text.size() - len);
    if (n < 0) {
      ::close(fd);
      return ReadResult::Failed;
    }
    if (n == 0) break;
    len += static_cast<size_t>(n);
  }
  text.resize(len);
  ::close(fd);
  return ReadResult::Ok;
}

void LogError(int line, const std::string& message) {
  CLogMgr* log = GetLogMgr();
  if (!log) return;
  log->LockTempBuffer();
  const char* text = log->MakeString("%s", message.c_str());
  log->Publish(0, 2, "registry", line, text, GetThreadID(), true);
  log->UnlockTempBuffer();
}

std::atomic<int64_t> g_lockTimeoutMs{posix::kPrivateLockTimeout.count()};

// Takes the lock of the store file <path>.lock, waiting a bounded time for another process that holds it; a
// failure is logged with its reason (how long it waited), and nothing may then be written.
bool LockStore(const std::string& path, FileLock& lock) {
  const Status locked =
      posix::LockPrivateFile(path + ".lock", std::chrono::milliseconds(g_lockTimeoutMs.load()), lock);
  if (!locked.ok) LogError(__LINE__, "registry file " + path.substr(path.rfind('/') + 1) + " is not changed: " + locked.reason);
  return locked.ok;
}

// ---- The store ----

struct RootState {
  std::string dir;  // the registry folder the tree belongs to; the tree is dropped when it changes
  bool loaded = false;
  FileStamp stamp;  // of the file the tree was read from or written to
  std::unique_ptr<Node> tree = std::make_unique<Node>();
  std::string logged;  // what the last read logged about the file, to log a lasting refusal once
};

std::mutex g_mutex;  // guards everything below, and every file operation of this process
RootState g_roots[3];
std::unordered_set<RegKey*> g_handles;

bool IsPredefined(HKEY key) {
  return key == HKEY_CLASSES_ROOT || key == HKEY_LOCAL_MACHINE || key == HKEY_CURRENT_USER;
}

bool IsValid(HKEY key) { return key && (IsPredefined(key) || g_handles.count(key) != 0); }

int RootOf(HKEY key) {
  if (key == HKEY_CLASSES_ROOT) return 0;
  if (key == HKEY_LOCAL_MACHINE) return 1;
  if (key == HKEY_CURRENT_USER) return 2;
  return key->root;
}

bool Allows(HKEY key, uint32_t right) { return IsPredefined(key) || (key->access & right) == right; }

const std::vector<std::u16string>& PathOf(HKEY key) {
  static const std::vector<std::u16string> kNone;
  return IsPredefined(key) ? kNone : key->path;
}

// The store of one root in one registry folder, while g_mutex is held.
class Store {
 public:
  Store(int root, std::string dir) : m_root(root), m_dir(std::move(dir)), m_state(g_roots[root]) {
    m_path = m_dir + kRootFiles[root];
    if (m_state.dir != m_dir) {
      m_state.dir = m_dir;
      m_state.logged.clear();
      Forget();
    }
  }

  // The tree as the file now holds it; read again only when the file changed. Never null.
  Node* Current() {
    if (m_state.loaded && StampOf(m_path) == m_state.stamp) return m_state.tree.get();
    Load(false);
    return m_state.tree.get();
  }

  // Takes the lock of the file and reads the file afresh; false when the lock cannot be had or the file
  // cannot be read (then nothing may be written).
  bool BeginChange() {
    if (!MakeDirectories(m_dir, true)) return false;
    m_lock = std::make_unique<FileLock>();
    if (!LockStore(m_path, *m_lock)) return false;
    return Load(true);
  }

  Node* Tree() { return m_state.tree.get(); }

  // Writes the tree; on failure the change is dropped, so that the next call reads the file again.
  bool Commit() {
    std::string text = Serialize(*m_state.tree);
    Status s = WriteFileAtomically(m_path, text.data(), text.size(), /*privateToUser=*/true);
    if (!s.ok) {
      Forget();
      return false;
    }
    m_state.stamp = StampOf(m_path);
    m_state.loaded = true;
    return true;
  }

 private:
  void Forget() {
    m_state.loaded = false;
    m_state.stamp = FileStamp{};
    m_state.tree = std::make_unique<Node>();
  }

  // Reads the file into the tree. A damaged file is moved aside, but only under the lock, since another
  // process may be replacing it at this moment.
  bool Load(bool locked) {
    std::string text;
    FileStamp stamp;
    std::string refusal;
    ReadResult r = ReadStore(m_path, text, stamp, refusal);
    // Said once, not at every call that finds the file so again.
    if (!refusal.empty() && refusal != m_state.logged)
      LogError(__LINE__, "registry file " + std::string(kRootFiles[m_root]) + " " + refusal);
    m_state.logged = refusal;
    if (r == ReadResult::Missing) {
      Forget();
      m_state.loaded = true;
      return true;
    }
    if (r == ReadResult::Failed) {
      Forget();
      return false;
    }
    auto tree = std::make_unique<Node>();
    size_t badLine = 0;
    if (Parse(text, *tree, badLine)) {
      m_state.tree = std::move(tree);
      m_state.stamp = stamp;
      m_state.loaded = true;
      return true;
    }
    if (!locked) {
      if (!MakeDirectories(m_dir, true)) return false;
      FileLock lock;
      if (!LockStore(m_path, lock)) {
        Forget();
        return false;
      }
      return Load(true);
    }
    return SetAside(badLine);
  }

  bool SetAside(size_t badLine) {
    Forget();
    std::string aside;
    Status s = posix::SetAside(m_path, aside);
    std::string name = kRootFiles[m_root];
    if (!s.ok) {
      LogError(__LINE__, "registry file " + name + " is damaged (line " + std::to_string(badLine) +
                             ") and cannot be moved aside: " + s.reason + "; it is left as it is");
      return false;
    }
    LogError(__LINE__, "registry file " + name + " is damaged (line " + std::to_string(badLine) + "); moved to " +
                           aside.substr(m_dir.size()) + ", the root starts empty");
    m_state.loaded = true;
    return true;
  }

  int m_root;
  std::string m_dir;
  std::string m_path;
  RootState& m_state;
  std::unique_ptr<FileLock> m_lock;
};

HKEY NewHandle(int root, std::vector<std::u16string> path, uint32_t access) {
  auto* key = new RegKey{root, std::move(path), access};
  g_handles.insert(key);
  return key;
}

std::vector<std::u16string> Join(const std::vector<std::u16string>& base, std::vector<std::u16string> rest) {
  std::vector<std::u16string> path = base;
  for (auto& part : rest) path.push_back(std::move(part));
  return path;
}

}  // namespace

long RegOpenKeyExW(HKEY root, const char16_t* subKey, uint32_t /*options*/, uint32_t access, HKEY* result) {
  if (!result) return ERROR_INVALID_PARAMETER;
  std::lock_guard<std::mutex> guard(g_mutex);
  if (!IsValid(root)) return ERROR_INVALID_HANDLE;
  Store store(RootOf(root), RegistryDirectory());
  const auto& base = PathOf(root);
  Node* node = Walk(store.Current(), base);
  if (!node) return ERROR_KEY_DELETED;
  std::vector<std::u16string> rest = SplitPath(subKey);
  if (!Walk(node, rest)) return ERROR_FILE_NOT_FOUND;
  *result = NewHandle(RootOf(root), Join(base, std::move(rest)), access);
  return ERROR_SUCCESS;
}

long RegQueryValueExW(HKEY key, const char16_t* valueName, uint32_t* reserved, uint32_t* type, uint8_t* data,
                      uint32_t* dataSize) {
  if (reserved || (data && !dataSize)) return ERROR_INVALID_PARAMETER;
  std::lock_guard<std::mutex> guard(g_mutex);
  if (!IsValid(key)) return ERROR_INVALID_HANDLE;
  if (!Allows(key, KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
  Store store(RootOf(key), RegistryDirectory());
  Node* node = Walk(store.Current(), PathOf(key));
  if (!node) return ERROR_KEY_DELETED;
  auto it = node->values.find(Fold(valueName ? valueName : u""));
  if (it == node->values.end()) return ERROR_FILE_NOT_FOUND;
  const Value& v = it->second;
  if (type) *type = v.type;
  if (!dataSize) return ERROR_SUCCESS;
  const uint32_t need = static_cast<uint32_t>(v.bytes.size());
  if (data) {
    if (*dataSize < need) {
      if (*dataSize) std::memcpy(data, v.bytes.data(), *dataSize);
      *dataSize = need;
      return ERROR_MORE_DATA;
    }
    if (need) std::memcpy(data, v.bytes.data(), need);
  }
  *dataSize = need;
  return ERROR_SUCCESS;
}

long RegSetValueExW(HKEY key, const char16_t* valueName, uint32_t /*reserved*/, uint32_t type, const uint8_t* data,
                    uint32_t dataSize) {
  Value v;
  v.name = valueName ? valueName : u"";
  v.type = type;
  if (!NormalizeData(type, data, dataSize, v.bytes) || v.name.size() > kMaxValueName) return ERROR_INVALID_PARAMETER;
  std::lock_guard<std::mutex> guard(g_mutex);
  if (!IsValid(key)) return ERROR_INVALID_HANDLE;
  if (!Allows(key, KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
  Store store(RootOf(key), RegistryDirectory());
  if (!store.BeginChange()) return ERROR_REGISTRY_IO_FAILED;
  Node* node = Walk(store.Tree(), PathOf(key));
  if (!node) return ERROR_KEY_DELETED;
  std::u16string folded = Fold(v.name);
  auto it = node->values.find(folded);
  if (it != node->values.end()) {
    if (it->second.type == v.type && it->second.bytes == v.bytes) return ERROR_SUCCESS;
    v.name = it->second.name;  // the value keeps the spelling it was created with
    it->second = std::move(v);
  } else {
    node->values.emplace(std::move(folded), std::move(v));
  }
  return store.Commit() ? ERROR_SUCCESS : ERROR_REGISTRY_IO_FAILED;
}

long RegCreateKeyExW(HKEY root, const char16_t* subKey, uint32_t /*reserved*/, char16_t* /*cls*/, uint32_t /*options*/,
                     uint32_t access, void* /*security*/, HKEY* result, uint32_t* disposition) {
  if (!result || !subKey) return ERROR_INVALID_PARAMETER;
  std::lock_guard<std::mutex> guard(g_mutex);
  if (!IsValid(root)) return ERROR_INVALID_HANDLE;
  const int rootIndex = RootOf(root);
  const auto& base = PathOf(root);
  std::vector<std::u16string> rest = SplitPath(subKey);
  Store store(rootIndex, RegistryDirectory());

  // Opening a key that exists needs neither the lock nor a write.
  Node* node = Walk(store.Current(), base);
  if (node && Walk(node, rest)) {
    if (disposition) *disposition = REG_OPENED_EXISTING_KEY;
    *result = NewHandle(rootIndex, Join(base, std::move(rest)), access);
    return ERROR_SUCCESS;
  }

  if (!store.BeginChange()) return ERROR_REGISTRY_IO_FAILED;
  node = Walk(store.Tree(), base);
  if (!node) return ERROR_KEY_DELETED;
  bool created = false;
  if (!Walk(node, rest)) {
    if (!Allows(root, KEY_CREATE_SUB_KEY)) return ERROR_ACCESS_DENIED;
    for (const auto& part : rest)
      if (part.size() > kMaxKeyName) return ERROR_INVALID_PARAMETER;
    for (const auto& part : rest) node = EnsureChild(node, part, &created);
    if (!store.Commit()) return ERROR_REGISTRY_IO_FAILED;
  }
  if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  *result = NewHandle(rootIndex, Join(base, std::move(rest)), access);
  return ERROR_SUCCESS;
}

long RegDeleteKeyW(HKEY root, const char16_t* subKey) {
  if (!subKey) return ERROR_INVALID_PARAMETER;
  std::lock_guard<std::mutex> guard(g_mutex);
  if (!IsValid(root)) return ERROR_INVALID_HANDLE;
  const auto& basePath = PathOf(root);
  std::vector<std::u16string> rest = SplitPath(subKey);
  if (basePath.empty() && rest.empty()) return ERROR_ACCESS_DENIED;  // a root cannot be deleted
  Store store(RootOf(root), RegistryDirectory());
  if (!store.BeginChange()) return ERROR_REGISTRY_IO_FAILED;
  Node* base = Walk(store.Tree(), basePath);
  if (!base) return ERROR_KEY_DELETED;
  // An empty sub-key deletes the key of the handle itself.
  std::vector<std::u16string> path = rest.empty() ? basePath : rest;
  Node* parent = Walk(rest.empty() ? store.Tree() : base, std::vector<std::u16string>(path.begin(), path.end() - 1));
  Node* target = parent ? Child(parent, path.back()) : nullptr;
  if (!target) return ERROR_FILE_NOT_FOUND;
  if (!target->children.empty()) return ERROR_ACCESS_DENIED;
  parent->children.erase(Fold(path.back()));
  return store.Commit() ? ERROR_SUCCESS : ERROR_REGISTRY_IO_FAILED;
}

namespace {

// The name of the index-th sub-key of a key, or (values) of its index-th value with the value's type.
long EnumName(HKEY key, uint32_t index, char16_t* name, uint32_t* nameSize, bool values, uint32_t* type) {
  if (!name || !nameSize) return ERROR_INVALID_PARAMETER;
  std::lock_guard<std::mutex> guard(g_mutex);
  if (!IsValid(key)) return ERROR_INVALID_HANDLE;
  if (!Allows(key, values ? KEY_QUERY_VALUE : KEY_ENUMERATE_SUB_KEYS)) return ERROR_ACCESS_DENIED;
  Store store(RootOf(key), RegistryDirectory());
  const Node* node = Walk(store.Current(), PathOf(key));
  if (!node) return ERROR_KEY_DELETED;
  if (index >= (values ? node->values.size() : node->children.size())) return ERROR_NO_MORE_ITEMS;
  const Value* value = values ? &std::next(node->values.begin(), index)->second : nullptr;
  const std::u16string& text = value ? value->name : std::next(node->children.begin(), index)->second->name;
  if (text.size() + 1 > *nameSize) return ERROR_MORE_DATA;
  std::copy(text.begin(), text.end(), name);
  name[text.size()] = u'\0';
  *nameSize = static_cast<uint32_t>(text.size());
  if (value && type) *type = value->type;
  return ERROR_SUCCESS;
}

}  // namespace

long RegEnumKeyExW(HKEY key, uint32_t index, char16_t* name, uint32_t* nameSize) {
  return EnumName(key, index, name, nameSize, false, nullptr);
}

long RegEnumValueW(HKEY key, uint32_t index, char16_t* name, uint32_t* nameSize, uint32_t* type) {
  return EnumName(key, index, name, nameSize, true, type);
}

long RegDeleteValueW(HKEY key, const char16_t* valueName) {
  std::lock_guard<std::mutex> guard(g_mutex);
  if (!IsValid(key)) return ERROR_INVALID_HANDLE;
  if (!Allows(key, KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
  Store store(RootOf(key), RegistryDirectory());
  if (!store.BeginChange()) return ERROR_REGISTRY_IO_FAILED;
  Node* node = Walk(store.Tree(), PathOf(key));
  if (!node) return ERROR_KEY_DELETED;
  if (node->values.erase(Fold(valueName ? valueName : u"")) == 0) return ERROR_FILE_NOT_FOUND;
  return store.Commit() ? ERROR_SUCCESS : ERROR_REGISTRY_IO_FAILED;
}

long RegCloseKey(HKEY key) {
  if (IsPredefined(key)) return ERROR_SUCCESS;
  std::lock_guard<std::mutex> guard(g_mutex);
  if (!key || g_handles.erase(key) == 0) return ERROR_INVALID_HANDLE;
  delete key;
  return ERROR_SUCCESS;
}

void SetStoreLockTimeout(std::chrono::milliseconds timeout) { g_lockTimeoutMs.store(timeout.count()); }

}  // namespace platform::reg
