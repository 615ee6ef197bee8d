/* Holds a file open as a spreadsheet program holds an open workbook: reading shared, writing and
 * removal not. Prints "retenido" once it holds the file, and lets it go when the file named
 * second appears. For the Windows stage of the tests, under wine. */
#include <stdio.h>
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        fputs("uso: retener ARCHIVO SENAL\n", stderr);
        return 2;
    }
    HANDLE h = CreateFileW(argv[1], GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, NULL,
                           OPEN_EXISTING, 0, NULL);
    if (h == INVALID_HANDLE_VALUE) {
        fprintf(stderr, "no se pudo abrir: error %lu\n", GetLastError());
        return 1;
    }
    puts("retenido");
    fflush(stdout);
    while (GetFileAttributesW(argv[2]) == INVALID_FILE_ATTRIBUTES) Sleep(50);
    CloseHandle(h);
    return 0;
}
