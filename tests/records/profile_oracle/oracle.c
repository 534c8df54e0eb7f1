/* Reads each case of cases.txt with the real GetPrivateProfileStringA (run under
   Wine) and prints the case number and the bytes of the value read, in hex. */
#include <stdio.h>
#include <string.h>
#include <windows.h>

static void unhex(const char* h, char* out) {
  int n = 0;
  while (h[0] && h[1] && h[0] != '-') {
    unsigned v;
    sscanf(h, "%2x", &v);
    out[n++] = (char)v;
    h += 2;
  }
  out[n] = 0;
}

int main(void) {
  static char value[20000];
  char line[4096], section[1024], key[1024], hexSection[2048], hexKey[2048], path[MAX_PATH], dir[MAX_PATH];
  FILE* list = fopen("cases.txt", "r");
  int i = 0;
  if (!list) return 1;
  GetCurrentDirectoryA(sizeof dir, dir);
  while (fgets(line, sizeof line, list)) {
    if (sscanf(line, "%2047s %2047s", hexSection, hexKey) != 2) continue;
    unhex(hexSection, section);
    unhex(hexKey, key);
    snprintf(path, sizeof path, "%s\\case%d.ini", dir, i);
    memset(value, 0, sizeof value);
    GetPrivateProfileStringA(section, key, "DEF", value, 10240, path);
    printf("%d ", i);
    for (size_t j = 0; j < strlen(value); j++) printf("%02x", (unsigned char)value[j]);
    printf("\n");
    i++;
  }
  return 0;
}
