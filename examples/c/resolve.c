/* resolve.c: a host program in C that links Quenlark.dll through its import library
 * (libQuenlark.dll.a with mingw-w64; Quenlark.def describes the exports for other linkers).
 *
 *   resolve SHARE_URL
 *
 * Prints the file's direct link and the address that link redirects to, one per line, as the
 * library returns them: code page 936 bytes. Exit code 0 when both are non-empty.
 */
#include <stdio.h>

#include "quenlark.h"

int main(int argc, char** argv) {
    const char* link;
    const char* target;
    if (argc != 2) {
        fputs("usage: resolve SHARE_URL\n", stderr);
        return 2;
    }
    /* The argument goes over as it stands: fine for the ASCII URLs of share pages. A program
     * that takes other text converts it to code page 936 first. */
    link = HttpGetUrl(argv[1]);
    if (link == NULL || *link == '\0') {
        fputs("resolve: no direct link\n", stderr);
        return 1;
    }
    /* `link` stays valid until the next HttpGetUrl call; Quenlark_Location keeps its own result. */
    target = Quenlark_Location(link);
    printf("%s\n%s\n", link, target != NULL ? target : "");
    return target != NULL && *target != '\0' ? 0 : 1;
}
