#include <windows.h>
#include <stdio.h>
/* Dumps code page 936 as the Windows conversion functions see it: every single
   byte, every two-byte sequence from a byte of 0x80 or more, every UTF-16 unit
   outside the surrogates. Built with MinGW and run under Wine by
   dump_windows_cp936.sh. */
int main(void) {
  FILE* f = fopen("cp936_dump.txt", "w");
  WCHAR out[8];
  for (int b = 0; b < 256; ++b) {
    char in[1] = {(char)b};
    int n = MultiByteToWideChar(936, 0, in, 1, out, 8);
    fprintf(f, "S %02X", b);
    for (int k = 0; k < n; ++k) fprintf(f, " %04X", out[k]);
    fprintf(f, "\n");
  }
  for (int lead = 0x80; lead < 256; ++lead)
    for (int trail = 1; trail < 256; ++trail) {
      char in[2] = {(char)lead, (char)trail};
      int n = MultiByteToWideChar(936, 0, in, 2, out, 8);
      fprintf(f, "P %02X%02X", lead, trail);
      for (int k = 0; k < n; ++k) fprintf(f, " %04X", out[k]);
      fprintf(f, "\n");
    }
  for (int u = 1; u < 0x10000; ++u) {
    if (u >= 0xD800 && u <= 0xDFFF) continue;
    WCHAR w[1] = {(WCHAR)u};
    char mb[8];
    BOOL used = FALSE;
    int n = WideCharToMultiByte(936, WC_NO_BEST_FIT_CHARS, w, 1, mb, 8, "?", &used);
    fprintf(f, "U %04X", u);
    for (int k = 0; k < n; ++k) fprintf(f, " %02X", (unsigned char)mb[k]);
    fprintf(f, "\n");
  }
  fclose(f);
  return 0;
}
