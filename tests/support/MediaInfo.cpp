#include "tests/support/MediaInfo.h"

#include <gst/gst.h>
#include <gst/pbutils/pbutils.h>

namespace testsupport {

namespace {

std::string CapsText(GstCaps* caps) {
    if (!caps)
        return "";
    gchar* text = gst_caps_to_string(caps);
    std::string out = text ? text : "";
    g_free(text);
    gst_caps_unref(caps);
    return out;
}

}  // namespace

MediaInfo DescribeMedia(const std::string& path) {
    MediaInfo info;
    if (!gst_is_initialized())
        gst_init(nullptr, nullptr);
    GError* err = nullptr;
    GstDiscoverer* discoverer = gst_discoverer_new(10 * GST_SECOND, &err);
    if (!discoverer) {
        info.error = err && err->message ? err->message : "no discoverer";
        g_clear_error(&err);
        return info;
    }
    gchar* uri = gst_filename_to_uri(path.c_str(), &err);
    GstDiscovererInfo* found = uri ? gst_discoverer_discover_uri(discoverer, uri, &err) : nullptr;
    g_free(uri);
    if (found && gst_discoverer_info_get_result(found) == GST_DISCOVERER_OK) {
        info.ok = true;
        info.durationMs =
            static_cast<int64_t>(gst_discoverer_info_get_duration(found) / GST_MSECOND);
        GstDiscovererStreamInfo* top = gst_discoverer_info_get_stream_info(found);
        if (top) {
            info.container = CapsText(gst_discoverer_stream_info_get_caps(top));
            gst_discoverer_stream_info_unref(top);
        }
        GList* audio = gst_discoverer_info_get_audio_streams(found);
        if (audio)
            info.audio = CapsText(gst_discoverer_stream_info_get_caps(
                static_cast<GstDiscovererStreamInfo*>(audio->data)));
        gst_discoverer_stream_info_list_free(audio);
    } else {
        info.error = err && err->message ? err->message : "not readable";
    }
    g_clear_error(&err);
    if (found)
        gst_discoverer_info_unref(found);
    g_object_unref(discoverer);
    return info;
}

}  // namespace testsupport
