// One start of the library, for counting its system calls (bench/count_fs_calls.sh): with the argument
// "start" the library is set up once (defaults, configuration manager, directory manager and its
// Initialize); without it the program does nothing, which gives the process's own calls.
#include <config/config_globals.h>

#include <cstring>

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "start") == 0) return GetDirectoryMgr() ? 0 : 1;
  return 0;
}
