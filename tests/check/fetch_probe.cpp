// Fetches each URL given and prints the body's size, one line each: the page fetcher run in a
// process of its own, so a test can give it an environment and a desktop session of its own.

#include "check/page_fetcher.h"
#include "check/system_proxy.h"

#include <cstdio>

int main(int argc, char** argv)
{
    // As the program does, before anything else.
    check::prepareProxyLookup();
    for (int i = 1; i < argc; ++i)
        std::printf("%zu\n", check::fetchPage(argv[i]).body.size());
    return 0;
}
