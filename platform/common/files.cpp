// File functions of the utility library, over the platform layer.
#include <doroutil/files.h>
#include <doroutil/memory.h>
#include <doroutil/strutil.h>
#include <platform/os.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

bool FileExists(const char* path) { return path && *path && platform::IsRegularFile(path); }

bool FileDoesDirExist(const char* path) { return path && *path && platform::IsDirectory(path); }

bool FileCreateDir(const char* path) { return path && *path && platform::MakeDirectory(path); }

int FileErase(const char* path) { return (path && *path && platform::RemoveFile(path)) ? 0 : 1; }

bool AreFilesInDir(const char* dir, const ListMgr<OROustring>& names) {
  if (!FileDoesDirExist(dir)) return false;
  OROustring base(dir);
  base.appendSlash();
  for (const OROustring* name : names) {
    if (!name || !platform::IsRegularFile((base + *name).str())) return false;
  }
  return true;
}

namespace {

bool HasExtension(const std::string& name, const char* ext) {
  if (!ext || !*ext) return true;
  size_t dot = name.rfind('.');
  return dot != std::string::npos && SpecialChar_stricmp(name.c_str() + dot + 1, ext) == 0;
}

bool IsExcluded(const std::string& name, const ListMgr<OROustring>* exclude) {
  if (!exclude) return false;
  for (const OROustring* e : *exclude)
    if (e && e->str() == name) return true;
  return false;
}

long ListInto(ListMgr<OROustring>& list, const char* dir, const char* ext, const ListMgr<OROustring>* exclude,
              bool directories) {
  if (!dir || !*dir) return 0;
  std::vector<platform::DirEntry> entries;
  if (!platform::ListDirectory(dir, entries)) return 0;
  std::vector<std::string> names;
  for (auto& e : entries) {
    if (directories ? !e.isDirectory : !e.isFile) continue;
    if (!directories && !HasExtension(e.name, ext)) continue;
    if (IsExcluded(e.name, exclude)) continue;
    names.push_back(std::move(e.name));
  }
  // Byte-wise order, so that what is found does not depend on the file system.
  std::sort(names.begin(), names.end());
  for (auto& n : names) list.Add(new OROustring(std::move(n)));
  return static_cast<long>(names.size());
}

// The bytes of a line that FileReadNextLine skips, past what the buffer takes, before it takes the file for no text.
constexpr long kLongestSkip = 64 * 1024;

}  // namespace

long FileList(ListMgr<OROustring>& list, const char* dir, const char* ext) {
  return ListInto(list, dir, ext ? ext : "", nullptr, false);
}

long FileList(ListMgr<OROustring>& list, const char* dir, const char* /*pattern*/, const char* filter,
              const ListMgr<OROustring>* exclude, int mode) {
  return ListInto(list, dir, filter ? filter : "", exclude, mode == 2);
}

long LoadFile(const char* path, char** buffer) {
  if (!buffer) return 0;
  *buffer = nullptr;
  if (!path || !*path) return 0;
  char* data = nullptr;
  size_t size = 0;
  if (!platform::ReadWholeFile(path, &data, &size)) return 0;
  // The platform allocates with malloc, which is what Mem_Free gives back to.
  *buffer = data;
  return static_cast<long>(size);
}

struct FileHandle {
  std::FILE* f;
  bool ended = false;  // by a line too long to be text
};

FileHandle* FileOpen(const char* path, const char* mode) {
  if (!path || !*path || !mode) return nullptr;
  std::FILE* f = platform::OpenStream(path, mode);
  return f ? new FileHandle{f, false} : nullptr;
}

char* FileReadNextLine(FileHandle* file, char* buffer, int size) {
  if (!file || !buffer || size <= 0 || file->ended) return nullptr;
  int c = std::fgetc(file->f);
  if (c == EOF) return nullptr;
  int n = 0;
  // What is skipped of a line too long for the buffer; a longer one is no line of text (a file of data under
  // a text file's name), and ends the file rather than being read to its end.
  long skipped = 0;
  while (c != EOF && c != '\n') {
    if (c != '\r' && n < size - 1) buffer[n++] = static_cast<char>(c);
    else if (++skipped > kLongestSkip) {
      file->ended = true;
      break;
    }
    c = std::fgetc(file->f);
  }
  buffer[n] = '\0';
  return buffer;
}

long FileWrite(FileHandle* file, const void* data, long size) {
  if (!file || !data || size <= 0) return 0;
  return static_cast<long>(std::fwrite(data, 1, static_cast<size_t>(size), file->f));
}

void FileClose(FileHandle* file) {
  if (!file) return;
  std::fclose(file->f);
  delete file;
}
