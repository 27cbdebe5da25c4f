// The registry store on POSIX systems: one file per root, re-read when it changed on disk and rewritten
// atomically under an advisory lock on every change.
#include <doroutil/logmgr.h>
#include <doroutil/strutil.h>
#include <fcntl.h>
#include <platform/os.h>
#include <platform/registry.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

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

const char* const kRootFiles[3] = {"HKCR.reg", "HKLM.reg", "HKCU.reg"};
const char kHeader[] = "; navconfig registry 1";

// ---- Names ----

char16_t FoldUnit(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + (u'a' - u'A')) : c; }

std::u16string Fold(std::u16string_view s) {
  std::u16string out(s);
  for (char16_t& c : out) c = FoldUnit(c);
  return out;
}

// The components of a sub-key path; empty ones (doubled, leading or trailing backslashes) are passed over.
std::vector<std::u16string> SplitPath(const char16_t* subKey) {
  std::vector<std::u16string> parts;
  if (!subKey) return parts;
  std::u16string_view rest(subKey);
  while (!rest.empty()) {
    size_t cut = rest.find(u'\\');
    std::u16string_view part = rest.substr(0, cut);
    if (!part.empty()) parts.emplace_back(part);
    if (cut == std::u16string_view::npos) break;
    rest.remove_prefix(cut + 1);
  }
  return parts;
}

// ---- The tree ----

struct Value {
  std::u16string name;
  uint32_t type = REG_NONE;
  std::vector<uint8_t> bytes;  // REG_SZ: UTF-16 units, always ending in one terminator
};

struct Node {
  std::u16string name;
  std::map<std::u16string, std::unique_ptr<Node>> children;  // by folded name
  std::map<std::u16string, Value> values;                    // by folded name
};

Node* Child(Node* node, const std::u16string& name) {
  auto it = node->children.find(Fold(name));
  return it == node->children.end() ? nullptr : it->second.get();
}

Node* Walk(Node* node, const std::vector<std::u16string>& path, size_t from = 0) {
  for (size_t i = from; node && i < path.size(); ++i) node = Child(node, path[i]);
  return node;
}

// The bytes that a value of this type keeps for the data given; false when the data do not suit the type.
bool NormalizeData(uint32_t type, const uint8_t* data, uint32_t size, std::vector<uint8_t>& bytes) {
  if (!data && size) return false;
  if (type == REG_DWORD && size != 4) return false;
  bytes.assign(data, data + size);
  if (type == REG_SZ) {
    bytes.resize(size & ~1u);  // whole UTF-16 units only
    if (bytes.size() < 2 || bytes[bytes.size() - 1] != 0 || bytes[bytes.size() - 2] != 0) {
      bytes.push_back(0);
      bytes.push_back(0);
    }
  }
  return true;
}

std::u16string Units(const std::vector<uint8_t>& bytes) {
  std::u16string s(bytes.size() / 2, u'\0');
  if (!s.empty()) std::memcpy(s.data(), bytes.data(), s.size() * 2);
  return s;
}

// ---- Text of the store file ----

bool IsHigh(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

void AppendHex4(std::string& out, const char* intro, char16_t unit) {
  static const char digits[] = "0123456789ABCDEF";
  out += intro;
  for (int shift = 12; shift >= 0; shift -= 4) out += digits[(unit >> shift) & 0xF];
}

uint32_t Pair(char16_t high, char16_t low) {
  return 0x10000 + ((static_cast<uint32_t>(high) - 0xD800) << 10) + (static_cast<uint32_t>(low) - 0xDC00);
}

// Writes UTF-16 text as UTF-8; the units for which escape() is true, and unpaired surrogates, are written
// as write(unit) instead.
template <typename Escape, typename Write>
void WriteText(std::string& out, std::u16string_view text, Escape escape, Write write) {
  for (size_t i = 0; i < text.size(); ++i) {
    char16_t c = text[i];
    if (IsHigh(c) && i + 1 < text.size() && IsLow(text[i + 1])) {
      AppendUtf8(out, Pair(c, text[i + 1]));
      ++i;
    } else if (IsHigh(c) || IsLow(c) || escape(c)) {
      write(c);
    } else {
      AppendUtf8(out, c);
    }
  }
}

// Value names and texts: backslash escapes.
void WriteQuotedText(std::string& out, std::u16string_view text) {
  auto escape = [](char16_t c) { return c < 0x20 || c == 0x7F || c == u'\\' || c == u'"'; };
  auto write = [&out](char16_t c) {
    switch (c) {
      case u'\\':
        out += "\\\\";
        break;
      case u'"':
        out += "\\\"";
        break;
      case u'\r':
        out += "\\r";
        break;
      case u'\n':
        out += "\\n";
        break;
      case u'\0':
        out += "\\0";
        break;
      default:
        AppendHex4(out, "\\u", c);
        break;
    }
  };
  WriteText(out, text, escape, write);
}

// Key names: percent escapes (a backslash cannot occur in them).
void WriteKeyName(std::string& out, std::u16string_view name) {
  auto escape = [](char16_t c) { return c < 0x20 || c == 0x7F || c == u'%' || c == u'[' || c == u']'; };
  WriteText(out, name, escape, [&out](char16_t c) { AppendHex4(out, "%", c); });
}

void WriteValues(std::string& out, const Node& node) {
  static const char digits[] = "0123456789abcdef";
  for (const auto& [folded, v] : node.values) {
    out += '"';
    WriteQuotedText(out, v.name);
    out += "\"=";
    if (v.type == REG_DWORD) {
      uint32_t n;
      std::memcpy(&n, v.bytes.data(), 4);
      char buf[16];
      std::snprintf(buf, sizeof buf, "dword:%08x", n);
      out += buf;
    } else if (v.type == REG_SZ) {
      out += "sz:";
      std::u16string text = Units(v.bytes);
      text.pop_back();  // the terminator
      WriteQuotedText(out, text);
    } else {
      out += "hex(" + std::to_string(v.type) + "):";
      for (uint8_t b : v.bytes) {
        out += digits[b >> 4];
        out += digits[b & 0xF];
      }
    }
    out += '\n';
  }
}

void WriteKeys(std::string& out, const Node& node, const std::string& path) {
  for (const auto& [folded, child] : node.children) {
    std::string childPath = path;
    if (!childPath.empty()) childPath += '\\';
    WriteKeyName(childPath, child->name);
    out += '[' + childPath + "]\n";
    WriteValues(out, *child);
    WriteKeys(out, *child, childPath);
  }
}

std::string Serialize(const Node& root) {
  std::string out = std::string(kHeader) + "\n";
  if (!root.values.empty()) {
    out += "[]\n";
    WriteValues(out, root);
  }
  WriteKeys(out, root, std::string());
  return out;
}

// Reads text written by the functions above. Every reader returns false for text they did not write.
class Reader {
 public:
  explicit Reader(std::string_view s) : m_s(s) {}
  bool AtEnd() const { return m_pos >= m_s.size(); }
  char Peek() const { return m_s[m_pos]; }
  bool Take(char c) {
    if (AtEnd() || m_s[m_pos] != c) return false;
    ++m_pos;
    return true;
  }
  bool TakeWord(std::string_view w) {
    if (m_s.substr(m_pos, w.size()) != w) return false;
    m_pos += w.size();
    return true;
  }

  // One character of UTF-8 text, as UTF-16 units.
  bool Utf8(std::u16string& out) {
    auto byte = [&](size_t i) { return static_cast<uint8_t>(m_s[i]); };
    uint8_t b0 = byte(m_pos);
    int more;
    uint32_t cp;
    if (b0 < 0x80) {
      more = 0;
      cp = b0;
    } else if (b0 >= 0xC2 && b0 < 0xE0) {
      more = 1;
      cp = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 < 0xF0) {
      more = 2;
      cp = b0 & 0x0F;
    } else if (b0 >= 0xF0 && b0 < 0xF5) {
      more = 3;
      cp = b0 & 0x07;
    } else {
      return false;
    }
    if (m_pos + static_cast<size_t>(more) >= m_s.size()) return false;
    for (int k = 1; k <= more; ++k) {
      uint8_t b = byte(m_pos + static_cast<size_t>(k));
      if ((b & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (b & 0x3F);
    }
    if ((more == 2 && cp < 0x800) || (more == 3 && (cp < 0x10000 || cp > 0x10FFFF)) || (cp >= 0xD800 && cp <= 0xDFFF))
      return false;
    m_pos += static_cast<size_t>(more) + 1;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (cp >> 10));
      out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
    return true;
  }

  bool Hex(size_t count, uint32_t& value) {
    if (m_s.size() - m_pos < count) return false;
    value = 0;
    for (size_t i = 0; i < count; ++i) {
      int d = Digit(m_s[m_pos + i]);
      if (d < 0) return false;
      value = (value << 4) | static_cast<uint32_t>(d);
    }
    m_pos += count;
    return true;
  }

  // Value names and texts; stops before an unescaped quote when stopAtQuote, else at the end.
  bool QuotedText(std::u16string& out, bool stopAtQuote) {
    while (!AtEnd()) {
      char c = Peek();
      if (c == '"' && stopAtQuote) return true;
      if (c != '\\') {
        if (!Utf8(out)) return false;
        continue;
      }
      ++m_pos;
      if (AtEnd()) return false;
      char e = m_s[m_pos++];
      uint32_t unit;
      switch (e) {
        case '\\':
          out += u'\\';
          break;
        case '"':
          out += u'"';
          break;
        case 'r':
          out += u'\r';
          break;
        case 'n':
          out += u'\n';
          break;
        case '0':
          out += u'\0';
          break;
        case 'u':
          if (!Hex(4, unit)) return false;
          out += static_cast<char16_t>(unit);
          break;
        default:
          return false;
      }
    }
    return !stopAtQuote;
  }

  // One key name, up to a backslash or the end.
  bool KeyName(std::u16string& out) {
    while (!AtEnd() && Peek() != '\\') {
      if (Peek() == '%') {
        ++m_pos;
        uint32_t unit;
        if (!Hex(4, unit)) return false;
        out += static_cast<char16_t>(unit);
      } else if (!Utf8(out)) {
        return false;
      }
    }
    return !out.empty();
  }

  bool HexBytes(std::vector<uint8_t>& out) {
    while (!AtEnd()) {
      uint32_t b;
      if (!Hex(2, b)) return false;
      out.push_back(static_cast<uint8_t>(b));
    }
    return true;
  }

  bool Decimal(uint32_t& value) {
    size_t start = m_pos;
    uint64_t v = 0;
    while (!AtEnd() && Peek() >= '0' && Peek() <= '9' && v <= 0xFFFFFFFFu)
      v = v * 10 + static_cast<uint64_t>(m_s[m_pos++] - '0');
    value = static_cast<uint32_t>(v);
    return m_pos > start && m_pos - start <= 10 && v <= 0xFFFFFFFFu;
  }

 private:
  static int Digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  }
  std::string_view m_s;
  size_t m_pos = 0;
};

Node* EnsureChild(Node* node, const std::u16string& name, bool* created = nullptr) {
  std::u16string folded = Fold(name);
  auto it = node->children.find(folded);
  if (it != node->children.end()) return it->second.get();
  auto child = std::make_unique<Node>();
  child->name = name;
  Node* raw = child.get();
  node->children.emplace(std::move(folded), std::move(child));
  if (created) *created = true;
  return raw;
}

bool ParseKeyLine(std::string_view line, Node& root, Node*& current) {
  if (line.size() < 2 || line.back() != ']') return false;
  std::string_view inside = line.substr(1, line.size() - 2);
  current = &root;
  if (inside.empty()) return true;
  Reader r(inside);
  while (true) {
    std::u16string name;
    if (!r.KeyName(name)) return false;
    current = EnsureChild(current, name);
    if (r.AtEnd()) return true;
    r.Take('\\');
  }
}

bool ParseValueLine(std::string_view line, Node& key) {
  Reader r(line);
  Value v;
  if (!r.Take('"') || !r.QuotedText(v.name, true) || !r.Take('"') || !r.Take('=')) return false;
  std::vector<uint8_t> raw;
  if (r.TakeWord("dword:")) {
    uint32_t n;
    if (!r.Hex(8, n) || !r.AtEnd()) return false;
    v.type = REG_DWORD;
    raw.resize(4);
    std::memcpy(raw.data(), &n, 4);
  } else if (r.TakeWord("sz:")) {
    std::u16string text;
    if (!r.QuotedText(text, false)) return false;
    v.type = REG_SZ;
    raw.resize(text.size() * 2);
    if (!text.empty()) std::memcpy(raw.data(), text.data(), raw.size());
    raw.push_back(0);
    raw.push_back(0);
  } else if (r.TakeWord("hex(")) {
    if (!r.Decimal(v.type) || !r.Take(')') || !r.Take(':') || !r.HexBytes(raw)) return false;
    if (v.type == REG_SZ || v.type == REG_DWORD) return false;  // those have forms of their own
  } else {
    return false;
  }
  if (!NormalizeData(v.type, raw.data(), static_cast<uint32_t>(raw.size()), v.bytes)) return false;
  std::u16string folded = Fold(v.name);
  key.values.insert_or_assign(std::move(folded), std::move(v));
  return true;
}

// Reads a store file; false (with the line number) when it is not one. An empty file is an empty store.
bool Parse(std::string_view text, Node& root, size_t& badLine) {
  Node* current = &root;
  size_t lineNo = 0;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    std::string_view line = text.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
    pos = end == std::string_view::npos ? text.size() : end + 1;
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    badLine = lineNo;
    if (lineNo == 1) {
      if (line != kHeader) return false;
      continue;
    }
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      if (!ParseKeyLine(line, root, current)) return false;
    } else if (line[0] == '"') {
      if (!ParseValueLine(line, *current)) return false;
    } else {
      return false;
    }
  }
  return true;
}

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

// Reads the whole file, with the stamp of exactly what was read.
ReadResult ReadStore(const std::string& path, std::string& text, FileStamp& stamp, int& err) {
  text.clear();
  stamp = FileStamp{};
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    err = errno;
    return err == ENOENT ? ReadResult::Missing : ReadResult::Failed;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    err = errno ? errno : EINVAL;
    ::close(fd);
    return ReadResult::Failed;
  }
  stamp = FileStamp::Of(st);
  text.resize(static_cast<size_t>(st.st_size));
  size_t len = 0;
  while (true) {
    if (len == text.size()) text.resize(text.size() + 4096);
    ssize_t n = ::read(fd, text.data() + len, text.size() - len);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      err = errno;
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

// An exclusive advisory lock on <store>.lock, held for the lifetime of the object.
class FileLock {
 public:
  explicit FileLock(const std::string& path) {
    m_fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (m_fd < 0) return;
    while (::flock(m_fd, LOCK_EX) != 0) {
      if (errno != EINTR) {
        ::close(m_fd);
        m_fd = -1;
        return;
      }
    }
  }
  ~FileLock() {
    if (m_fd >= 0) ::close(m_fd);  // closing releases the lock
  }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  bool Held() const { return m_fd >= 0; }

 private:
  int m_fd = -1;
};

void LogError(int line, const std::string& message) {
  CLogMgr* log = GetLogMgr();
  if (!log) return;
  log->LockTempBuffer();
  const char* text = log->MakeString("%s", message.c_str());
  log->Publish(0, 2, "registry", line, text, GetThreadID(), true);
  log->UnlockTempBuffer();
}

// ---- The store ----

struct RootState {
  std::string dir;  // the registry folder the tree belongs to; the tree is dropped when it changes
  bool loaded = false;
  FileStamp stamp;  // of the file the tree was read from or written to
  std::unique_ptr<Node> tree = std::make_unique<Node>();
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
    m_lock = std::make_unique<FileLock>(m_path + ".lock");
    if (!m_lock->Held()) return false;
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
    int err = 0;
    ReadResult r = ReadStore(m_path, text, stamp, err);
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
      FileLock lock(m_path + ".lock");
      if (!lock.Held()) {
        Forget();
        return false;
      }
      return Load(true);
    }
    return SetAside(badLine);
  }

  bool SetAside(size_t badLine) {
    Forget();
    std::string aside = m_path + ".damaged-" + std::to_string(UnixTime());
    for (int n = 2; IsRegularFile(aside) || IsDirectory(aside); ++n)
      aside = m_path + ".damaged-" + std::to_string(UnixTime()) + "-" + std::to_string(n);
    Status s = RenameFile(m_path, aside);
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
  if (!NormalizeData(type, data, dataSize, v.bytes)) return ERROR_INVALID_PARAMETER;
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

long RegCloseKey(HKEY key) {
  if (IsPredefined(key)) return ERROR_SUCCESS;
  std::lock_guard<std::mutex> guard(g_mutex);
  if (!key || g_handles.erase(key) == 0) return ERROR_INVALID_HANDLE;
  delete key;
  return ERROR_SUCCESS;
}

}  // namespace platform::reg
