// OroFileName: a directory part and a file part, joined with the platform's separator.
#include <doroutil/files.h>
#include <doroutil/orofilename.h>
#include <platform/os.h>

namespace {

bool EndsInSeparator(const OROustring& s) { return !s.empty() && platform::IsPathSeparator(s[s.length() - 1]); }

OROustring AsDirectory(OROustring dir) {
  if (!dir.empty()) dir.appendSlash();
  return dir;
}

}  // namespace

OroFileName::OroFileName(const OROustring& path) {
  const std::string& p = path.str();
  size_t cut = std::string::npos;
  for (size_t i = p.size(); i-- > 0;)
    if (platform::IsPathSeparator(p[i])) { cut = i; break; }
  if (cut == std::string::npos) {
    m_name = path;
  } else {
    m_dir = OROustring(p.substr(0, cut + 1));
    m_name = OROustring(p.substr(cut + 1));
  }
}

OroFileName::OroFileName(const OROustring& dir, const OROustring& name) : m_dir(AsDirectory(dir)), m_name(name) {}

OroFileName::OroFileName(const OROustring& dir1, const OROustring& dir2, const OROustring& name) : m_name(name) {
  // An empty first component leaves the second relative to the current directory.
  OROustring d = AsDirectory(dir1);
  d += dir2;
  m_dir = AsDirectory(d);
}

OROustring OroFileName::GetFullPath(bool withFileName) const {
  return withFileName ? m_dir + m_name : m_dir;
}

OROustring OroFileName::GetFileName(bool withExtension) const {
  if (withExtension) return m_name;
  size_t dot = m_name.str().rfind('.');
  return dot == std::string::npos ? m_name : OROustring(m_name.str().substr(0, dot));
}

OROustring OroFileName::GetParentDirectory(bool nameOnly) const {
  // The folder that holds the last element: the file when there is one, else the directory's last folder.
  std::string d = m_dir.str();
  auto stripSeparators = [&d] {
    while (d.size() > 1 && platform::IsPathSeparator(d.back())) d.pop_back();
  };
  auto lastSeparator = [&d]() -> size_t {
    for (size_t i = d.size(); i-- > 0;)
      if (platform::IsPathSeparator(d[i])) return i;
    return std::string::npos;
  };
  if (m_name.empty()) {
    stripSeparators();
    size_t cut = lastSeparator();
    d = cut == std::string::npos ? std::string() : d.substr(0, cut + 1);
  }
  if (!nameOnly) return OROustring(d);
  stripSeparators();
  if (d.size() == 1 && platform::IsPathSeparator(d[0])) return OROustring();
  size_t cut = lastSeparator();
  return OROustring(cut == std::string::npos ? d : d.substr(cut + 1));
}

bool OroFileName::Exists() const {
  OROustring full = GetFullPath(true);
  if (full.empty()) return false;
  if (m_name.empty() || EndsInSeparator(full)) return FileDoesDirExist(full.c_str());
  return FileExists(full.c_str()) || FileDoesDirExist(full.c_str());
}
