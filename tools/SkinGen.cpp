// Build tool: draws the images of one skin folder from its drawing script (see
// tools/skin/Script.h) with the platform's graphics, so the skins are made from text in the
// tree. Any mistake in a script fails the build with the file and line.
//
//   velkora_skingen <script.draw> <output folder> [<stamp file>]
#include <cstdio>
#include <fstream>
#include <string>

#include "tools/skin/Script.h"

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: %s <script.draw> <output folder> [<stamp file>]\n", argv[0]);
        return 2;
    }
    skin::Script script;
    std::string error;
    if (!script.LoadFile(argv[1], &error) || !script.WriteAll(argv[2], &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    if (argc == 4) {
        std::ofstream stamp(argv[3], std::ios::trunc);
        for (const skin::ImageDef& image : script.Images())
            stamp << image.name << '\n';
        if (!stamp) {
            std::fprintf(stderr, "%s: cannot write\n", argv[3]);
            return 1;
        }
    }
    return 0;
}
