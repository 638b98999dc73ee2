// Not built yet: the interface gets its operations, in slot order, when the object is built.
#pragma once

#include "library/include/KvTypes.h"

namespace KvUserInterface {

class IKvText {
public:
    virtual RZRESULT AddRef() = 0;
    virtual RZRESULT Release() = 0;

protected:
    ~IKvText() = default;
};

}  // namespace KvUserInterface
