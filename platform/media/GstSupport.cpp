#include "platform/media/GstSupport.h"

#include <gst/gst.h>

#include <mutex>
#include <thread>

namespace plat {

bool EnsureGstreamer(std::string* error) {
    static std::once_flag once;
    static bool ok = false;
    static std::string failure;
    std::call_once(once, [] {
        GError* err = nullptr;
        ok = gst_init_check(nullptr, nullptr, &err);
        if (!ok)
            failure = err && err->message ? err->message : "GStreamer cannot start";
        g_clear_error(&err);
        if (ok) {
            // MP3 decoders tie on rank and the tie goes to the one inside the libav plugin,
            // whose first load costs about 90 ms; the dedicated decoder starts at once.
            if (GstPluginFeature* mp3 =
                    gst_registry_lookup_feature(gst_registry_get(), "mpg123audiodec")) {
                if (gst_plugin_feature_get_rank(mp3) < GST_RANK_PRIMARY)
                    gst_plugin_feature_set_rank(mp3, GST_RANK_PRIMARY);
                gst_object_unref(mp3);
            }
        }
    });
    if (!ok && error)
        *error = failure;
    return ok;
}

void StartGstreamerAhead() {
    // Loading the plugin registry takes tens of milliseconds that the start-up need not wait
    // for: nothing plays before the first page is on screen.
    struct Starter {
        std::thread thread;
        ~Starter() {
            if (thread.joinable())
                thread.join();
        }
    };
    static Starter starter;
    static std::once_flag once;
    std::call_once(once, [] { starter.thread = std::thread([] { EnsureGstreamer(); }); });
}

void ForEachElement(GstElement* element, const std::function<void(GstElement*)>& visit) {
    if (!GST_IS_BIN(element)) {
        visit(element);
        return;
    }
    GstIterator* it = gst_bin_iterate_recurse(GST_BIN(element));
    GValue item = G_VALUE_INIT;
    while (gst_iterator_next(it, &item) == GST_ITERATOR_OK) {
        visit(GST_ELEMENT(g_value_get_object(&item)));
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(it);
}

}  // namespace plat
