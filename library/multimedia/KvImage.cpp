#include "library/LibFactory.h"

// Not built yet: the factory answers RZ_FAIL for this kind.
namespace KvMultimedia {

RZRESULT NewImage(IKvImage** out, const char16_t* /*path*/) {
    if (out)
        *out = nullptr;
    return RZ_FAIL;
}

}  // namespace KvMultimedia
