// DirectoryMgr: where the application's files and map data live.
//
// One instance per process, owned by the library's globals and made as the platform's class
// (DirectoryMgr_Posix on POSIX systems, DirectoryMgr_Win32 on Windows). It knows the directories that the
// platform fixes: the runtime directory (NAVCONFIG_RUNTIME_DIR when it is set, else the folder of the library's
// own module file), the configuration directory (where the .cfg layer files lie: NAVCONFIG_CONFIG_DIR when it
// is set, else the runtime directory, until SU_Config names another), the registry directory and the system's
// configuration directory, whose user_ro.cfg and product.cfg are read when the configuration directory has none
// (empty unless the library is built as an installed system library, POSIX only; see DirectoryMgr_Posix).
// Every other directory is a named string setting "Directories\<Name>", read with GetDirPath and written into
// the user layer with SetDirPath; Initialize() fills in the missing ones, finds installed map data and works
// out the data status.
//
// Each setting read or write takes the configuration's lock for that one access, and the cache of version files
// has a lock of its own (GetDataVersionInfo may run on several threads at once). Initialize, SetConfigPath and
// the operations that fill the version record and the first-run answer change members and must not run at the
// same time as each other.
#ifndef NAVCONFIG_CONFIG_DIRECTORYMGR_H
#define NAVCONFIG_CONFIG_DIRECTORYMGR_H

#include <config/data_types.h>
#include <config/export.h>
#include <config/oro_dataset.h>
#include <doroutil/listmgr.h>
#include <doroutil/orofilename.h>
#include <doroutil/orostring.h>

// The contents of a data set's version.dat file. Copied field by field.
struct NAVCONFIG_API TVersionStruct {
  OroFileName fileName;    // the full path of the file that was read
  OROustring productName;  // "Product Name:"
  OROustring dataVersion;  // "Data Version:"
  OROustring dataFormat;   // "Data Format:", compared with the software's major version
  OROustring gridData;     // "Grid Data:"
  OROustring language;     // "Language:"
};

class NAVCONFIG_API DirectoryMgr {
 public:
  DirectoryMgr();
  virtual ~DirectoryMgr();
  DirectoryMgr(const DirectoryMgr&) = delete;
  DirectoryMgr& operator=(const DirectoryMgr&) = delete;

  // The writeable root: saves, add-ons and per-region folders lie below it, and map data is searched there.
  virtual const OROustring& GetWriteableRootDir() const;

 protected:
  virtual void InitRuntimeDir() = 0;
  virtual void InitRegistryDir() = 0;
  virtual void InitConfigDir() = 0;
  virtual void InitWriteableRootDir() = 0;

 public:
  // The configuration directory as UTF-8.
  virtual const OROustring& GetUISupportDir() const;

 protected:
  virtual void InitInternalStorageDir();
  virtual void InitExternalStorageDir();
  virtual void InitUISupportDirs();
  virtual void InitDataSupportDirs();

 public:
  virtual const OROustring& GetDataRootToSearch(bool stitched) const;
  virtual const OROustring& GetRegionSaveDir() const;

  // The start-up sequence: platform directories, the directory table, the data search and the data status.
  void Initialize();
  // The configuration directory becomes path (UTF-8, taken unchanged: end it with a separator).
  void SetConfigPath(const char* path);
  const OROwstring& GetConfigDir() const { return m_configDir; }
  const OROwstring& GetRuntimeDir() const { return m_runtimeDir; }
  const OROwstring& GetRegistryDir() const { return m_registryDir; }
  // Ends in a separator; empty when there is none.
  const OROustring& GetSystemConfigDir() const { return m_systemConfigDir; }
  const OROustring& GetInternalStorageDir() const { return m_internalStorageDir; }
  const ListMgr<OROustring>& GetExternalStorageDirs() const { return m_externalStorageDirs; }

  // 1 and the directory when the setting Directories\<name> is not empty ("RuntimeDir" is the runtime
  // directory); 0 and an empty path otherwise. At most 510 bytes of a setting are used.
  long GetDirPath(const char* name, OROwstring& path, bool appendSlash) const;
  // Stores Directories\<name> in the user layer. Always 1.
  long SetDirPath(const char* name, const OROwstring& path);
  // Empties every directory of the table whose folder does not exist.
  void ResetDirectories();
  // rootDir = RootDir; true when it exists, else the missing directories are emptied and false.
  bool UseExistingRootDir(OROustring& rootDir);
  // "data", "orospeeds", "ispeeds", "tmc", "polygons"; "" for any other value.
  const char* GetDirName(eInstallDataType type) const;

  // The data status, worked out anew from the disk; logged.
  eDataStatus GetDataStatus();
  // True on the first start of a new installation; the stored flag is cleared by the first call, the
  // answer stays the same for the life of this instance.
  bool IsOutOfBoxFirstRun();

  // One field of the version file fileName in dir, chosen by the label it contains ("Product Name:",
  // "Data Version:", "Data Format:", "Grid Data:"); the file is parsed once unless reload is true. False
  // when the file cannot be read; true, value untouched, for a label naming none of the four.
  bool GetDataVersionInfo(const OROustring& dir, const OROustring& fileName, const char* label, OROustring& value,
                          bool reload);
  // The version file of the data in use (filled by GetDataStatus). Always true.
  bool GetCurRunningDataVerInfo(TVersionStruct& version) const;

  // Appends the map sets found at and under path for one kind of data, each as a new copy that the list
  // owns. The candidates, in this order: the path itself; the folder of that kind in each immediate
  // sub-folder, in byte-wise order of the sub-folder names (each sub-folder itself for a kind without a
  // folder name; no sub-folder is examined when the path contains "wrldgrid" in small letters); and last
  // the kind's folder name taken relative to the process's current directory (for INSTALL_DATA_NETWORK:
  // data/ below the current directory; nothing for a kind without a folder name). The list is not emptied
  // first, nothing is sorted, and a folder reached twice is listed twice. Reads each set's version.dat
  // afresh.
  void GetInstalledMapSetsInPath(ListMgr<OroDataSet>& sets, const OROustring& path, eInstallDataType type);
  // True when dir holds a ".cgd" file; then set gets its map ID (version.dat is read afresh, replacing its
  // cached record), its path (the folder of dir; a file part is dropped) and its name, and keeps its other
  // fields. False, set untouched, for a folder without one or that cannot be listed.
  bool GetMapSetInfo(OroDataSet& set, const OroFileName& dir);

 protected:
  void InitDataDirs(const OROustring& root, const OROustring& subDir);
  void InitRegionDataDirs(const OROustring& region);
  bool UseBaseData() const { return false; }
  bool UsePresinstalledData() const { return false; }

  bool DiscoverDataInRoot(bool stitched);
  bool DiscoverDataInRegionRoot(bool stitched, const OROustring& region);

  void GetFilesToValidate(const OROustring& dirName, ListMgr<OROustring>& files) const;
  bool ValidateDirectoryContents(const OROustring& dirName) const;
  bool ValidateNetworkDir() const;

 private:
  friend class DirectoryMgrTestAccess;

  // The steps of Initialize between the platform directories and the registry directory, and after it.
  void InitDirectoryTable();
  void SearchDataAndStatus();

  long SetTempSaveDir(const OROustring& root);
  bool DiscoverStitchedDataInRegionRoot(const OROustring& regionRoot, const OROustring& region);
  bool DiscoverNormalDataInRegionRoot(const OROustring& regionRoot, const OROustring& region);
  bool DiscoverNormalDataInDirectory(const OROustring& dir, const OROustring& region);
  bool DoesDataVerMatchSoftwareVer() const;
  const char* GetDataStatusStr(eDataStatus status) const;
  bool FilesInDir(const OROustring& dir, const char* const* names) const;
  bool ReadVersionDotDatFile(const OroFileName& file, TVersionStruct& version) const;
  // The sub-region id of the product name in dir's version.dat, -1 when there is none.
  int GetMapID(const OroFileName& dir);

 protected:
  OROwstring m_configDir;
  OROwstring m_runtimeDir;
  OROwstring m_registryDir;
  OROustring m_internalStorageDir;
  OROustring m_writeableRootDir;
  bool m_stitchedDataEnabled = false;
  ListMgr<OROustring> m_externalStorageDirs;
  TVersionStruct m_curDataVersion;
  ListMgr<TVersionStruct> m_versionCache;  // under a lock of the version files' own
  bool m_outOfBoxFirstRun = false;
  bool m_outOfBoxFirstRunKnown = false;
  OROustring m_systemConfigDir;

 private:
  mutable OROustring m_configDirUtf8;  // what GetUISupportDir hands out
};

#ifdef _WIN32
// The Windows class: runtime directory from NAVCONFIG_RUNTIME_DIR or the library's module file, configuration
// directory from NAVCONFIG_CONFIG_DIR or the runtime directory, registry root "\windows".
class NAVCONFIG_API DirectoryMgr_Win32 : public DirectoryMgr {
 public:
  ~DirectoryMgr_Win32() override;

 protected:
  void InitRuntimeDir() override;
  void InitRegistryDir() override;
  void InitConfigDir() override;
  void InitWriteableRootDir() override;
};

using DirectoryMgr_Platform = DirectoryMgr_Win32;
#else
// The POSIX class: runtime directory from NAVCONFIG_RUNTIME_DIR, configuration directory from NAVCONFIG_CONFIG_DIR,
// system configuration directory from NAVCONFIG_SYSTEM_CONFIG_DIR, registry directory NAVCONFIG_HOME/registry/;
// without the variables, the folders that the build chose (platform/os.h): the library's module folder, the same
// folder and none, with NAVCONFIG_HOME $XDG_CONFIG_HOME/navconfig; or, built as an installed system library,
// $XDG_DATA_HOME/navconfig, $XDG_CONFIG_HOME/navconfig and /etc/navconfig, with NAVCONFIG_HOME
// $XDG_DATA_HOME/navconfig.
class NAVCONFIG_API DirectoryMgr_Posix : public DirectoryMgr {
 public:
  ~DirectoryMgr_Posix() override;

 protected:
  void InitRuntimeDir() override;
  void InitRegistryDir() override;
  void InitConfigDir() override;
  void InitWriteableRootDir() override;
};

using DirectoryMgr_Platform = DirectoryMgr_Posix;
#endif

#endif
