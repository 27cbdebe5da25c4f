// A program built against the installed library only: reads and writes a setting and a directory.
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
  return keep == 50 && std::strlen(root) > 0 ? 0 : 1;
}
