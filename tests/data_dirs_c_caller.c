/* A C program's view of the data directory interface: only the C-callable functions, called from C. */
#include <config/data_dirs.h>
#include <string.h>

long CCallerGetDirPath(const char* name, char* buffer, int size) { return Config_GetDirPath(name, buffer, size, true); }

int CCallerGetDirNameIsData(void) { return strcmp(GetDirName(INSTALL_DATA_NETWORK), "data") == 0; }

int CCallerGetDataStatus(void) {
  eDataStatus status = Config_GetDataStatus();
  return (int)status;
}

int CCallerIsOutOfBoxFirstRun(void) { return Config_IsOutOfBoxFirstRun() ? 1 : 0; }
