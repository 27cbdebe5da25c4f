// OroFileName: the utility library's file name, a directory part and a file part.
//
// The directory part is empty or ends in the platform's separator; the file part holds no separator.
// Joining never touches the disk, and a relative directory stays relative: a name built from an empty
// first directory and "data" is the folder data/ below the process's current directory.
#ifndef NAVCONFIG_DOROUTIL_OROFILENAME_H
#define NAVCONFIG_DOROUTIL_OROFILENAME_H

#include <config/export.h>
#include <doroutil/orostring.h>

class NAVCONFIG_API OroFileName {
 public:
  OroFileName() = default;
  // From a path: everything up to the last separator is the directory, the rest the file name.
  explicit OroFileName(const OROustring& path);
  // From a directory and a file name (the directory gets a separator when it lacks one).
  OroFileName(const OROustring& dir, const OROustring& name);
  // From two directory components joined, and a file name.
  OroFileName(const OROustring& dir1, const OROustring& dir2, const OROustring& name);

  // With the file name: the whole path; without: the directory, ending in a separator (or empty).
  OROustring GetFullPath(bool withFileName) const;
  // The file name with or without its extension (the text after its last dot).
  OROustring GetFileName(bool withExtension) const;
  // The folder that holds the last element (the file, or for a name without a file part the directory's
  // last folder): its name alone when nameOnly is true (for /maps/NA/data/ that is "NA"), otherwise its
  // full path ending in a separator (/maps/NA/).
  OROustring GetParentDirectory(bool nameOnly) const;
  bool Exists() const;
  bool IsEmpty() const { return m_dir.empty() && m_name.empty(); }
  void Clear() { m_dir.clear(); m_name.clear(); }

  friend bool operator==(const OroFileName& a, const OroFileName& b) {
    return a.m_dir == b.m_dir && a.m_name == b.m_name;
  }

 private:
  OROustring m_dir;
  OROustring m_name;
};

#endif
