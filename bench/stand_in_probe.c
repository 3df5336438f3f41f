/* The least a program can do with the stand-in library: load it by its full
 * path, list the controllers and read the first one's state. kavrctl's
 * benchmark runs it beside `kavrctl state` as the yardstick for what
 * kavrctl adds. Usage: stand_in_probe LIBRARY */
#include <dlfcn.h>
#include <stdio.h>

#include "contract/entries.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: %s LIBRARY\n", argv[0]);
    return 2;
  }
  void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  if (library == NULL) {
    fprintf(stderr, "%s\n", dlerror());
    return 1;
  }
  __typeof__(&_KAVRVB_Init) init = (__typeof__(&_KAVRVB_Init))dlsym(library, "_KAVRVB_Init");
  __typeof__(&_KAVRVB_GetState) getState = (__typeof__(&_KAVRVB_GetState))dlsym(library, "_KAVRVB_GetState");
  if (init == NULL || getState == NULL) {
    fprintf(stderr, "%s lacks _KAVRVB_Init or _KAVRVB_GetState\n", argv[1]);
    return 1;
  }
  char versions[1000] = {0};
  char serials[1000] = {0};
  int32_t count = 0;
  /* A KAVR_State's 80 bytes, aligned as the record is. */
  int32_t state[20] = {0};
  if (init(&count, versions, sizeof versions, serials, sizeof serials) != 0 || count < 1 ||
      getState(0, (struct KAVR_State*)state) != 0) {
    fprintf(stderr, "the stand-in did not answer\n");
    return 1;
  }
  printf("%d\n", (int)state[0]);
  return 0;
}
