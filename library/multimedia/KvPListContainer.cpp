#include "library/LibFactory.h"

// Not built yet: the factory answers RZ_FAIL for this kind.
namespace KvMultimedia {

RZRESULT NewPListContainer(IKvPListContainer** out) {
    if (out)
        *out = nullptr;
    return RZ_FAIL;
}

}  // namespace KvMultimedia
