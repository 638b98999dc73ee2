// The program's entry point. For now it loads the library the way the kernel will and
// reports its version.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "library/include/Vantrel.h"
#include "platform/sys/Module.h"
#include "platform/text/Text.h"

namespace {

int PrintVersion() {
    plat::Module module;
    if (!module.Load(VANTREL_MODULE_NAME)) {
        std::fprintf(stderr, "velkora: cannot load %s: %s\n", VANTREL_MODULE_NAME,
                     module.Error().c_str());
        return 1;
    }
    auto create = reinterpret_cast<PFN_CreateIVantrel>(module.Symbol(VANTREL_EXPORT_NAME));
    IVantrel* root = create ? create() : nullptr;
    if (!root) {
        std::fprintf(stderr, "velkora: %s gives no root object\n", VANTREL_MODULE_NAME);
        return 1;
    }
    char16_t* version = nullptr;
    int rc = 1;
    if (root->GetVersion(&version) == RZ_OK && version) {
        std::printf("Velkora, library Vantrel %s\n", plat::Utf16ToUtf8(version).c_str());
        std::free(version);
        rc = 0;
    }
    root->Release();
    // The library is never unloaded while the process runs.
    module.Leak();
    return rc;
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0)
            return PrintVersion();
    }
    std::fprintf(stderr, "usage: velkora --version\n");
    return 2;
}
