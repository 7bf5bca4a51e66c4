// Holds what it is given until its standard input ends, for the installer
// check: a named mutex, as an installer of the tool holds its own while it
// works, or a file, open without leave to rename or delete it, as an editor
// may hold the README.
//   hold mutex NAME
//   hold file PATH
#include <cstdio>
#include <cstring>
#include <windows.h>

int main(int argc, char* argv[]) {
    const bool mutex = argc == 3 && std::strcmp(argv[1], "mutex") == 0;
    const bool file = argc == 3 && std::strcmp(argv[1], "file") == 0;
    if (!mutex && !file) {
        std::fputs("usage: hold mutex NAME | hold file PATH\n", stderr);
        return 2;
    }
    HANDLE const held = mutex ? CreateMutexA(nullptr, TRUE, argv[2])
                              : CreateFileA(argv[2], GENERIC_READ, FILE_SHARE_READ, nullptr,
                                            OPEN_EXISTING, 0, nullptr);
    if (held == nullptr || held == INVALID_HANDLE_VALUE ||
        (mutex && GetLastError() == ERROR_ALREADY_EXISTS)) {
        std::fprintf(stderr, "hold: cannot hold %s\n", argv[2]);
        return 1;
    }
    std::puts("held");
    std::fflush(stdout);
    while (std::getchar() != EOF) {
    }
    return 0;
}
