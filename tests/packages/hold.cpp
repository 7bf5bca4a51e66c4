// Holds the file given, open without leave to rename or delete it, as an
// editor may hold the README, until its standard input ends: for the
// installer check.
//   hold file PATH
#include <cstdio>
#include <cstring>
#include <windows.h>

int main(int argc, char* argv[]) {
    if (argc != 3 || std::strcmp(argv[1], "file") != 0) {
        std::fputs("usage: hold file PATH\n", stderr);
        return 2;
    }
    HANDLE const held =
        CreateFileA(argv[2], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (held == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "hold: cannot hold %s\n", argv[2]);
        return 1;
    }
    std::puts("held");
    std::fflush(stdout);
    while (std::getchar() != EOF) {
    }
    return 0;
}
