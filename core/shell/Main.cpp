// The program's entry point: the head unit, or its version.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/shell/AppRestore.h"
#include "core/shell/VelkoraApp.h"
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

void Usage(FILE* to) {
    std::fprintf(to,
                 "usage: velkora [--screenshots FOLDER]\n"
                 "       velkora --version\n"
                 "Runs the head unit in the working folder. With --screenshots it writes\n"
                 "FOLDER/front.png and FOLDER/rear.png once both screens are up, and ends.\n");
}

}  // namespace

int main(int argc, char** argv) {
    VELKORA_RUN_OPTIONS options;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0)
            return PrintVersion();
        if (std::strcmp(argv[i], "--screenshots") == 0 && i + 1 < argc) {
            options.screenshotDir = argv[++i];
        } else if (std::strcmp(argv[i], "--help") == 0) {
            Usage(stdout);
            return 0;
        } else {
            Usage(stderr);
            return 2;
        }
    }
    // The program brings back what ran when it was last switched off.
    SetRestoreHooks(AppRestoreHooks());
    CVelkoraApp app;
    return app.InitInstance(options);
}
