/* A user's configuration folder removed while a program runs (a user resetting the settings) is made again by the
 * next save: argv[1] is the command that removes it. */
#include <config/config.h>

#include <stdlib.h>

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  Config_SetIntVal("Image", "KeepPercent", 75); /* the start makes the folder */
  if (system(argv[1]) != 0) return 2;
  Config_SetIntVal("Image", "KeepPercent", 76);
  return 0;
}
