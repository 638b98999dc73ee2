// The row lookups the music page's browsing and playback sources share.
#pragma once

#include "apps/media/MediaListHandlers.h"
#include "apps/media/MediaPage.h"
#include "library/include/IKvList.h"

namespace mprows {

inline int ListCountOf(KvUtility::IKvList* list) {
    int count = 0;
    if (!list || list->GetCount(&count) != RZ_OK)
        return 0;
    return count;
}

// The first row of `list` matching `match`, or -1.
template <typename F>
int FindRow(KvUserInterface::IKvListbox* list, F match) {
    const int count = mediapage::ListCount(list);
    for (int i = 0; i < count; ++i) {
        const UI_LIST_ROW* row = ListRowAt(list, i);
        if (row && match(*row))
            return i;
    }
    return -1;
}

}  // namespace mprows
