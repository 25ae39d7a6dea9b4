/* drive-type LETTER: prints the type Windows reports for LETTER:\ (GetDriveTypeW), as a number.
   The test prefix's setup checks with it that Wine applied the drive types the tests rely on. */
#include <stdio.h>
#include <windows.h>

int main(int argc, char** argv) {
  if (argc != 2 || argv[1][0] == '\0') return 2;
  const wchar_t root[4] = {(wchar_t)argv[1][0], L':', L'\\', 0};
  printf("%u\n", (unsigned)GetDriveTypeW(root));
  return 0;
}
