/* drive-type LETTER: prints the type Windows reports for LETTER:\ (GetDriveTypeW), as a number,
   and exits with that number, plus 10 when the drive holds no readable volume (an empty card
   reader, an unmapped letter), 255 on a bad argument. The test prefix's setup checks with it that
   Wine applied the drive types the tests rely on; the test kit's run-tests.cmd reads the exit
   code, which cmd gets without parsing output. */
#include <stdio.h>
#include <windows.h>

int main(int argc, char** argv) {
  if (argc != 2 || argv[1][0] == '\0') return 255;
  /* An empty removable drive must not bring up "There is no disk in the drive". */
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  const wchar_t root[4] = {(wchar_t)argv[1][0], L':', L'\\', 0};
  const UINT type = GetDriveTypeW(root);
  printf("%u\n", type);
  const BOOL readable = GetVolumeInformationW(root, NULL, 0, NULL, NULL, NULL, NULL, 0);
  return (int)type + (readable ? 0 : 10);
}
