// "Registry.ini", the status values the unit keeps for outside programs and reads back at start
// (the last run's programs and media positions among them), on arbitrary text.
#include <cstdint>
#include <string>

#include "fuzz/FuzzCheck.h"
#include "platform/io/KeyValueStore.h"

using fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    plat::KeyValueStore store;
    store.Parse(text);
    // What was kept is written out so that it reads back the same, with no line dropped.
    const std::string written = store.Serialize();
    plat::KeyValueStore again;
    Check(again.Parse(written) == 0);
    Check(again.Serialize() == written);

    // A value set in a store that held anything at all is read back.
    Check(again.SetDword("Velkora", "Fuzz", 0x12345678u) || again.Path().empty());
    uint32_t dword = 0;
    Check(again.GetDword("velkora", "fuzz", &dword) && dword == 0x12345678u);
    const std::u16string textValue = u"a \"quoted\" \\ value";
    again.SetString("Velkora", "Text", textValue);
    std::u16string back;
    Check(again.GetString("Velkora", "Text", &back) && back == textValue);
    plat::KeyValueStore third;
    Check(third.Parse(again.Serialize()) == 0);
    Check(third.GetString("VELKORA", "TEXT", &back) && back == textValue);
    return 0;
}
