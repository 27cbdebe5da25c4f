/* A C program built against the installed library: the C interface compiles as C, and the globals' accessors
 * and Config_IsUpdateMode are C functions under their plain names, as a foreign-function interface finds them. */
#include <config/config.h>

#include <stdio.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

static int FoundByName(const char* name) {
#ifdef _WIN32
  return GetProcAddress(GetModuleHandleA("config.dll"), name) != NULL;
#else
  void* library = dlopen("libnavconfig.so.1", RTLD_NOW);
  return library && dlsym(library, name) != NULL;
#endif
}

int main(void) {
  const char* const names[] = {"Config_IsUpdateMode", "ResetDataDirMgr", "GetConfigMgr", "GetDirectoryMgr",
                               "GetConfigGlobals"};
  size_t i;
  long keep = Config_GetIntVal("Image", "KeepPercent");
  char buffer[64];
  int found = -1;
  CConfigGlobals* globals = GetConfigGlobals();
  CConfigMgr* mgr = GetConfigMgr();
  DirectoryMgr_Platform* dirs;
  for (i = 0; i < sizeof names / sizeof names[0]; ++i) {
    if (!FoundByName(names[i])) {
      printf("%s is not found by its plain name\n", names[i]);
      return 1;
    }
  }
  ResetDataDirMgr();
  dirs = GetDirectoryMgr();
  Config_SetStrVal("Image", "Name", "coast");
  Config_GetStrVal("user\\Image", "Name", buffer, (int)sizeof buffer, &found);
  printf("%ld %s %d %d\n", keep, buffer, found, (int)Config_IsUpdateMode());
  /* The defaults leave the map-update mode off (Data Updates\UpdaterEnabled is 0). */
  return keep == 50 && found == 1 && globals && mgr && dirs && !Config_IsUpdateMode() ? 0 : 1;
}
