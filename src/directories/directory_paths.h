// Small path and settings helpers shared by the directory manager's source files.
#ifndef NAVCONFIG_SRC_DIRECTORIES_DIRECTORY_PATHS_H
#define NAVCONFIG_SRC_DIRECTORIES_DIRECTORY_PATHS_H

#include <config/directorymgr.h>
#include <doroutil/orostring.h>

namespace navconfig {

constexpr const char* kDirectoryLogSource = "directorymgr";

// The region codes, in the order in which data is searched.
constexpr const char* kRegionCodes[] = {"NA", "EU", "OC", "AF", "AS", "SE", "ME", "SA"};

// The table of named directories: a start without an existing RootDir checks them in this order and empties
// each one whose folder is missing.
inline constexpr const char* kTableDirectories[] = {
    "AddonDir",        "AudioDir",       "CitiesDir",   "GPSDemoDir",       "GlobalAddonDir", "LRGeoDir",
    "LRGlobalSaveDir", "LRGridDir",      "OROSpeedsDir", "InrixSpeedsDir",  "LRInfoDir",      "UpdateDir",
    "LRSaveDir",       "PolyDir",        "TMCDir",      "RegionDir",        "RootDir",        "SkinDir",
    "ThemesDir",       "MemoDir",        "KMXDBDir",    "SpeechDir",        "LRGPSSaveDir",   "UIConfigDir",
    "PolyLandmarksDir", "PhotoNavLibrary", "MapUpdatesDir", "MapUpdatesSupportDir",
};
static_assert(sizeof kTableDirectories / sizeof kTableDirectories[0] == 28);

// The files a folder must hold to count as what its directory name says, each list ended by a null.
inline constexpr const char* kSkinFiles[] = {"styles_gui.stb", "163.inx", nullptr};
inline constexpr const char* kUIConfigFiles[] = {"uiconfig.inx", "uiconfig.dat", nullptr};
inline constexpr const char* kAudioFiles[] = {"sound_default.wav", nullptr};
inline constexpr const char* kGridFiles[] = {"00000000.qd", "00000000.hsh", nullptr};
inline constexpr const char* kCitiesFiles[] = {"cities.inx", "cities.nms", nullptr};
inline constexpr const char* kPolygonFiles[] = {"poly0.cgd", nullptr};

struct RequiredFiles {
  const char* directory;
  const char* const* files;
};

// Directories without a row require no file.
inline constexpr RequiredFiles kRequiredFiles[] = {
    {"SkinDir", kSkinFiles},     {"UIConfigDir", kUIConfigFiles}, {"AudioDir", kAudioFiles},
    {"LRGridDir", kGridFiles},   {"CitiesDir", kCitiesFiles},     {"PolyDir", kPolygonFiles},
};

// base, a separator (only when base does not already end in one) and name. An empty base gives name alone,
// so that a missing root never turns a relative folder into one at the top of the file system.
OROustring JoinPath(const OROustring& base, const char* name);

// GetDirPath as UTF-8: the directory, or the empty string when it is not set.
OROustring DirPathU(const DirectoryMgr& dirs, const char* name, bool appendSlash);

// The folder that a directory variable (NAVCONFIG_CONFIG_DIR, NAVCONFIG_RUNTIME_DIR) names, with a separator at
// its end; false when the variable is unset or empty.
bool DirectoryFromEnvironment(const char* name, OROwstring& out);

}  // namespace navconfig

#endif
