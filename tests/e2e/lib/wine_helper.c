/* The scripts' helper on the Windows side, run under Wine in the script's prefix:
 *   hold       keeps the desktop open until killed: Wine closes it a second after its last
 *              program ends, and a program that starts while it closes waits ten seconds
 *   letters    prints each drive letter that names a partition device: a temporary letter
 *   clip TEXT  puts TEXT on the clipboard */
#include <stdio.h>
#include <string.h>
#include <wchar.h>
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
  if (argc == 2 && !wcscmp(argv[1], L"hold")) {
    GetDesktopWindow();
    Sleep(INFINITE);
  }
  char name[3] = "A:", target[1024];
  for (; argc == 2 && !wcscmp(argv[1], L"letters") && name[0] <= 'Z'; ++name[0]) {
    if (QueryDosDeviceA(name, target, sizeof target) && strstr(target, "\\Partition")) {
      printf("%s %s\n", name, target);
    }
  }
  if (argc != 3 || wcscmp(argv[1], L"clip")) return name[0] > 'Z' ? 0 : 2;
  const size_t size = (wcslen(argv[2]) + 1) * sizeof(wchar_t);
  HGLOBAL text = GlobalAlloc(GMEM_MOVEABLE, size);
  if (!text || !OpenClipboard(NULL)) return 1;
  memcpy(GlobalLock(text), argv[2], size);
  GlobalUnlock(text);
  EmptyClipboard();
  const int ok = SetClipboardData(CF_UNICODETEXT, text) != NULL;
  CloseClipboard();
  return ok ? 0 : 1;
}
