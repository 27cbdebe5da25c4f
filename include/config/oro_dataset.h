// OroDataSet: one installed map set, a directory that holds at least one ".cgd" file.
//
// Sets are found and filled by the directory manager (DirectoryMgr::GetInstalledMapSetsInPath and
// DirectoryMgr::GetMapSetInfo). A set carries its map ID (the sub-region id of the product name in the set's
// version.dat, -1 when there is none), its directory, its name (the name of the directory's parent folder,
// "NA" for /maps/NA/data/) and, once DiscoverCHXFiles has run, its CHX files. The fields are public, in this
// order, for the application's code to read; the getters give the same.
//
// A set is a plain value that belongs to one thread at a time. Copies are deep: the copy owns CHX entries of
// its own. Nothing here logs or throws; an entry that cannot be allocated is left out (DiscoverCHXFiles) or
// kept as a null entry (copying), so readers of GetCHXFiles() skip null entries.
#ifndef NAVCONFIG_CONFIG_ORO_DATASET_H
#define NAVCONFIG_CONFIG_ORO_DATASET_H

#include <config/export.h>
#include <doroutil/listmgr.h>
#include <doroutil/orofilename.h>
#include <doroutil/orostring.h>

#include <cstdint>

class DirectoryMgr;

class NAVCONFIG_API OroDataSet {
 public:
  // No map ID (-1), empty name and path, no CHX files.
  OroDataSet();
  OroDataSet(const OroDataSet& other);
  // Assignment to itself changes nothing; otherwise the target's own CHX entries are deleted first.
  const OroDataSet& operator=(const OroDataSet& other);
  ~OroDataSet();

  // The same set: equal names and equal directories, both compared without regard to ASCII case over their
  // whole length. The map IDs, the flags and the CHX lists take no part.
  bool operator==(const OroDataSet& other) const;

  // Appends the set's CHX files to GetCHXFiles() and returns how many entries the list then holds. A CHX file
  // counts when a ".cgd" file of the same base name lies beside it (names compared without regard to ASCII
  // case); each entry is the set's directory joined with the file's name as the directory lists it, in the
  // listing's byte-wise order. The list is not emptied first: a second call appends the same files again.
  unsigned long DiscoverCHXFiles();

  int32_t GetMapID() const { return m_mapID; }
  const OROustring& GetName() const { return m_name; }
  // The set's directory (a file name without file part).
  const OroFileName& GetPath() const { return m_path; }
  // True once DiscoverCHXFiles has found at least one CHX file.
  bool HasCHXFiles() const { return m_hasCHXFiles; }
  const ListMgr<OroFileName>& GetCHXFiles() const { return m_chxFiles; }
  // A flag of the caller's own: copied with the set, never set or read by the library.
  bool GetSpareFlag() const { return m_spareFlag; }
  void SetSpareFlag(bool value) { m_spareFlag = value; }

  int32_t m_mapID = -1;
  OROustring m_name;
  OroFileName m_path;
  bool m_hasCHXFiles = false;
  bool m_spareFlag = false;
  // Owns its entries.
  ListMgr<OroFileName> m_chxFiles;

 private:
  friend class DirectoryMgr;

  // Back to the state of a new set, deleting the CHX entries.
  void Reset();
  void CopyFrom(const OroDataSet& other);
};

#endif
