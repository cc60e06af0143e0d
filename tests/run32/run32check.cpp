// run32check.exe: a program that scripts/run32 has never seen, for the
// runner's own tests. It says what it was given and where it runs:
//   run32check ARGS...   its pointer size, working folder, each argument in
//                        brackets, RUN32_A and RUN32_B, the first line of
//                        in.txt; writes "written\r\n" to sub\out.txt; a line
//                        to standard error; exit code 7
//   run32check sleep     waits for ever (the runner's time limit)
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "sleep") == 0) {
        for (;;) Sleep(1000);
    }
    std::printf("bits=%u\n", static_cast<unsigned>(sizeof(void*) * 8));
    char folder[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, folder);
    std::printf("folder=%s\n", folder);
    for (int i = 1; i < argc; ++i) std::printf("arg%d=[%s]\n", i, argv[i]);
    for (const char* name : {"RUN32_A", "RUN32_B"}) {
        char value[256] = {};
        SetLastError(ERROR_SUCCESS);
        if (GetEnvironmentVariableA(name, value, sizeof value) > 0 ||
            GetLastError() == ERROR_SUCCESS)
            std::printf("%s=[%s]\n", name, value);
        else
            std::printf("%s unset\n", name);
    }
    char line[256] = {};
    if (FILE* in = std::fopen("in.txt", "r")) {
        if (!std::fgets(line, sizeof line, in)) line[0] = '\0';
        std::fclose(in);
        line[std::strcspn(line, "\r\n")] = '\0';
        std::printf("in=%s\n", line);
    } else {
        std::printf("in missing\n");
    }
    CreateDirectoryA("sub", nullptr);
    if (FILE* out = std::fopen("sub\\out.txt", "wb")) {
        std::fputs("written\r\n", out);
        std::fclose(out);
    }
    std::fprintf(stderr, "to standard error\n");
    std::fflush(stdout);
    return 7;
}
