// tests/net/hidden_child.cpp
// A console program for the hidden-process tests: "print" writes "Ok." followed by two
// line breaks and two blanks; "sleep N" keeps its output open for N ms; "exit N" ends
// with code N.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int main(int argc, char** argv) {
    if (argc >= 2 && strcmp(argv[1], "print") == 0) {
        fputs("  Ok.\r\n\r\n  ", stdout);
        return 0;
    }
    if (argc >= 3 && strcmp(argv[1], "sleep") == 0) {
        fputs("started\r\n", stdout);
        fflush(stdout);
        Sleep((DWORD)atoi(argv[2]));
        return 0;
    }
    if (argc >= 3 && strcmp(argv[1], "exit") == 0) return atoi(argv[2]);
    return 99;
}
