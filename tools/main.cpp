#include "commands.h"

#include <cstdio>
#include <cstring>
#include <exception>

std::map<std::string, TCommandInfo>& Commands()
{
    static std::map<std::string, TCommandInfo> All;
    return All;
}

static int Usage()
{
    std::fprintf(stderr, "usage:\n");
    for (const auto& [Name, Info] : Commands())
        std::fprintf(stderr, "  varnelo-dicom %s %s\n", Name.c_str(), Info.Usage.c_str());
    return 2;
}

int main(int argc, char** argv)
{
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)
        return Usage();
    const auto It = Commands().find(argv[1]);
    if (It == Commands().end()) {
        std::fprintf(stderr, "varnelo-dicom: unknown command '%s'\n", argv[1]);
        return Usage();
    }
    try {
        return It->second.Run(argc - 1, argv + 1);
    } catch (const std::exception& E) {
        std::fprintf(stderr, "%s\n", E.what());
        return 1;
    }
}
