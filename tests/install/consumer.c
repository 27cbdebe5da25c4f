/* A C program built against the installed library: the C interface compiles as C. */
#include <config/config.h>

#include <stdio.h>

int main(void) {
  long keep = Config_GetIntVal("Image", "KeepPercent");
  char buffer[64];
  int found = -1;
  Config_SetStrVal("Image", "Name", "coast");
  Config_GetStrVal("user\\Image", "Name", buffer, (int)sizeof buffer, &found);
  printf("%ld %s %d\n", keep, buffer, found);
  return keep == 50 && found == 1 ? 0 : 1;
}
