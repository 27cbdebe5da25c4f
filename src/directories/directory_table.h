// The table of named directories and the files that their folders must hold, as the directory manager
// checks them at start-up and the inspection functions list them.
#ifndef NAVCONFIG_SRC_DIRECTORIES_DIRECTORY_TABLE_H
#define NAVCONFIG_SRC_DIRECTORIES_DIRECTORY_TABLE_H

namespace navconfig {

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

}  // namespace navconfig

#endif
