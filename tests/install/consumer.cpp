// A program built against the installed library only: reads and writes a setting and a directory, and reads
// a map set's public fields, which lie in the order that the application's code relies on.
#include <config/config.h>

#include <cstdio>
#include <cstring>

int main() {
  long keep = Config_GetIntVal("Image", "KeepPercent");
  Config_SetIntVal("Image", "KeepPercent", keep + 20);
  char root[256];
  Config_GetDirPath("RootDir", root, sizeof root, true);
  OROustring major = Config_GetOroUStrVal("Version", "Major");
  GridVersionString v("GRD_NAVTEQ.EU-DE-12.2011.3", "9", "7");
  std::printf("%ld %ld %s %ld %s\n", keep, Config_GetIntVal("Image", "KeepPercent"), major.c_str(), v.GetRegionId(),
              NAVCONFIG_VERSION_STRING);

  const OroDataSet set;
  auto at = [&set](const void* field) { return static_cast<const char*>(field) - reinterpret_cast<const char*>(&set); };
  const bool inOrder = at(&set.m_mapID) < at(&set.m_name) && at(&set.m_name) < at(&set.m_path) &&
                       at(&set.m_path) < at(&set.m_hasCHXFiles) && at(&set.m_hasCHXFiles) < at(&set.m_spareFlag) &&
                       at(&set.m_spareFlag) < at(&set.m_chxFiles);
  const bool fresh = set.m_mapID == -1 && set.m_name.empty() && !set.m_hasCHXFiles && !set.m_spareFlag &&
                     set.m_chxFiles.Count() == 0;
  return keep == 50 && std::strlen(root) > 0 && inOrder && fresh ? 0 : 1;
}
