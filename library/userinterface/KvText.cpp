#include "library/LibFactory.h"

// Not built yet: the factory answers RZ_FAIL for this kind.
namespace KvUserInterface {

RZRESULT NewText(IKvText** out) {
    if (out)
        *out = nullptr;
    return RZ_FAIL;
}

}  // namespace KvUserInterface
