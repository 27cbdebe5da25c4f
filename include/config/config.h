/* navconfig: everything a caller of the configuration library needs, in one header.
 *
 * From C: the configuration functions (config_api.h), change sets (config_changes.h), the accessors of the
 * globals (config_globals.h), the C part of the data directory, account and registry functions, the inspection
 * functions for tools (config_info.h) and the change listeners (config_listen.h). From C++ also the classes and
 * the functions that take or return the utility strings: DirectoryMgr, GridVersionString, OroDataSet, TRegUtil,
 * and the utility types they use (doroutil/: OROustring, OROwstring, OroFileName, ListMgr, TVector). */
#ifndef NAVCONFIG_CONFIG_CONFIG_H
#define NAVCONFIG_CONFIG_CONFIG_H

#include <config/account.h>
#include <config/config_api.h>
#include <config/config_changes.h>
#include <config/config_globals.h>
#include <config/config_info.h>
#include <config/config_listen.h>
#include <config/data_dirs.h>
#include <config/data_types.h>
#include <config/export.h>
#include <config/keytree.h>
#include <config/registry.h>
#include <config/version.h>

#ifdef __cplusplus
#include <config/directorymgr.h>
#include <config/gridversion.h>
#include <config/oro_dataset.h>
#include <doroutil/listmgr.h>
#include <doroutil/orofilename.h>
#include <doroutil/orostring.h>
#include <doroutil/tvector.h>
#endif

#endif
