/* The data directory interface: the named directories of the directory table, the directories of every kind
 * of updatable map data, the data status and the first-run flag.
 *
 * Who may call: any module, from any thread. Every function first sets the library's globals up and then
 * uses the process's one directory manager. A directory lookup holds the configuration's lock for that one
 * read; a path composed of several settings is built from several such reads with no lock held between them.
 * The data status and first-run functions change the directory manager's records and must not run at the
 * same time as each other.
 *
 * Directories are the string settings "Directories\<Name>" ("RuntimeDir" is the library's own folder and is
 * never a setting); a directory that is not set gives 0 or the empty string, and separators are the
 * platform's. Updatable data lies in <root>/<region>/<revision>/<"base" or "streamed">/<kind>/; the revision
 * 0xFFFFFFFF means the current one (the setting Data\CurrentRevision), and a kind's own directory setting,
 * when set, wins over that layout. Nothing here reports errors or throws.
 *
 * The functions with plain names have C linkage; those that take a utility string by reference keep the
 * plain name but can only be called from C++. The functions that return strings are C++ functions. */
#ifndef NAVCONFIG_CONFIG_DATA_DIRS_H
#define NAVCONFIG_CONFIG_DATA_DIRS_H

#include <config/data_types.h>
#include <config/export.h>

#ifndef __cplusplus
#include <stdbool.h>
#endif

NAVCONFIG_BEGIN_C

/* The directory <name> in UTF-8 (with a separator at its end when appendSlash); 1 when it is set, else 0.
 * At most bufferSize bytes are written: the rest of the buffer after the text is filled with zeros, and a
 * text that does not fit is cut, with its terminator in the last byte. Nothing is written for a null buffer
 * or a size of 0 or less. */
NAVCONFIG_API long Config_GetDirPath(const char* name, char* buffer, int bufferSize, bool appendSlash);
/* The folder name of a kind of data: "data", "orospeeds", "ispeeds", "tmc", "polygons", "" for any other
 * value. The text lives as long as the process. */
NAVCONFIG_API const char* GetDirName(eInstallDataType type);
/* Worked out anew from the disk and logged: DATA_FOUND_NORMAL when Directories\LRGridDir holds the grid
 * files, DATA_FOUND_SWVERSION_MISMATCH when the found data's version.dat names a data format other than the
 * setting Version\Major, DATA_NOT_FOUND_STICTHING_OFF or DATA_NOT_FOUND when no data was found. */
NAVCONFIG_API eDataStatus Config_GetDataStatus(void);
/* True on the first start of a new installation. The first call clears the stored flag; the answer stays
 * the same until the directory manager is replaced (Config_Reset, ResetDataDirMgr). */
NAVCONFIG_API bool Config_IsOutOfBoxFirstRun(void);

NAVCONFIG_END_C

#ifdef __cplusplus

#include <config/directorymgr.h>
#include <doroutil/orostring.h>

extern "C" {

/* The directory manager's GetDirPath: path receives the directory (empty when not set); 1 when it is set. */
NAVCONFIG_API long Config_GetDirPathW(const char* name, OROwstring& path, bool appendSlash);
NAVCONFIG_API long Config_GetDirPathU(const char* name, OROustring& path, bool appendSlash);
/* Stores Directories\<name> in the user layer (the file is written at once). Always 1. */
NAVCONFIG_API long Config_SetDirPath(const char* name, const OROwstring& path);
/* A copy of the version record of the data in use, as the last data status check read it. Always true. */
NAVCONFIG_API bool Config_GetCurRunningAppDataVerInfo(TVersionStruct& info);

}  // extern "C"

// The directory <name>, empty when it is not set.
NAVCONFIG_API OROwstring Config_GetDirPath(const char* name, bool appendSlash);
NAVCONFIG_API OROustring Config_GetDirPathU(const char* name, bool appendSlash);
NAVCONFIG_API OROustring Config_GetDirPathU(const OROustring& name, bool appendSlash);
NAVCONFIG_API long Config_SetDirPath(const char* name, const OROustring& path);
// RootDir with a separator at its end, or empty.
NAVCONFIG_API OROustring Config_GetRootDir();
// The directory manager's writeable root (saves, add-ons and per-region folders lie below it).
NAVCONFIG_API OROustring Config_GetWriteableRootDir();
// <ThemesDir>/<Styles\Theme>/skin/; empty when the theme setting is empty. Without a ThemesDir the path is
// relative: <theme>/skin/.
NAVCONFIG_API OROustring Config_GetThemeSkinDir();

// The directory of one kind of data: the setting <name> when it is set; otherwise <baseDir or RootDir>/
// <region or RegionDir>/<revision>/, then "streamed/" when streamed, else "base/" for the kinds "network",
// "polygons", "orospeeds", "ispeeds" and "tmc", then "data/" for "network" or the kind itself for the other
// four. An empty RegionDir drops the region level. Empty when neither the setting nor the root is known.
NAVCONFIG_API OROustring Config_GetUpdateDir(const OROustring& name, const OROustring& dataKind, bool streamed,
                                             unsigned long revision, OROustring region,
                                             const OROustring& baseDir);
// <UpdateDir><revision>/<subDir>/<fileName>, subDir without a leading "./" or ".\". With an empty subDir the
// folder <UpdateDir><revision> is created (the result of that is not checked).
NAVCONFIG_API OROustring Config_GetUpdateDirName(unsigned long revision, const OROustring& subDir,
                                                 const OROustring& fileName);

// The data directories of the current revision and RegionDir (see Config_GetUpdateDir); each kind's own
// setting wins when it is set: LRGridDir (the root update directory is based on RuntimeDir and has no kind
// level), OROSpeedsDir, InrixSpeedsDir, TMCDir, PolyDir, CitiesDir and LRGeoDir (these two are the revision
// folder itself).
NAVCONFIG_API OROustring Config_GetRootUpdateDir(bool streamed);
NAVCONFIG_API OROustring Config_GetNetworkDir(bool streamed);
NAVCONFIG_API OROustring Config_GetOroSpeedsDir(bool streamed);
NAVCONFIG_API OROustring Config_GetInrixSpeedsDir(bool streamed);
NAVCONFIG_API OROustring Config_GetTMCDir(bool streamed);
NAVCONFIG_API OROustring Config_GetPolygonsDir(bool streamed);
NAVCONFIG_API OROustring Config_GetCitiesDir();
NAVCONFIG_API OROustring Config_GetPlacesDir();

// One field of the version file <dir>/<fileName> chosen by the label ("Product Name:", "Data Version:",
// "Data Format:", "Grid Data:"); the file is parsed once unless reload. Empty when there is none.
NAVCONFIG_API OROustring Config_GetDataVersionInfo(const OROustring& dir, const OROustring& fileName,
                                                   const char* label, bool reload);
// Always empty.
NAVCONFIG_API OROustring Config_GetInternalStorageName(bool);

#endif /* __cplusplus */

#endif
