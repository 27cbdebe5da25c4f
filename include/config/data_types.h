/* The kinds of installable map data and the data status: the plain types that the directory manager and the
 * data directory functions share with C callers. */
#ifndef NAVCONFIG_CONFIG_DATA_TYPES_H
#define NAVCONFIG_CONFIG_DATA_TYPES_H

/* The kinds of installable data; GetDirName gives each kind's folder name. */
typedef enum eInstallDataType {
  INSTALL_DATA_NONE = 0,
  INSTALL_DATA_NETWORK = 1,   /* "data" */
  INSTALL_DATA_OROSPEEDS = 2, /* "orospeeds" */
  INSTALL_DATA_ISPEEDS = 3,   /* "ispeeds" */
  INSTALL_DATA_TMC = 4,       /* "tmc" */
  INSTALL_DATA_POLYGONS = 5   /* "polygons" */
} eInstallDataType;

/* Whether usable map data is installed (the data status never answers DATA_UNKNOWN). */
typedef enum eDataStatus {
  DATA_UNKNOWN = 0,
  DATA_FOUND_NORMAL = 1,
  DATA_FOUND_STITCHED = 2,
  DATA_FOUND_SWVERSION_MISMATCH = 3,
  DATA_NOT_FOUND_STICTHING_OFF = 4,
  DATA_NOT_FOUND = 5
} eDataStatus;

#endif
