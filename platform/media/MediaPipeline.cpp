#include "platform/media/MediaPipeline.h"

#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gst/video/navigation.h>
#include <gst/video/video.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "platform/media/GstSupport.h"
#include "platform/media/MediaConfig.h"

namespace plat {

namespace {

// A file that cannot be prerolled within this time is refused.
constexpr int kOpenTimeoutMs = 10000;
// State changes and seeks of an open pipeline.
constexpr int kSettleTimeoutMs = 3000;

// MPEG program streams answer a seek into their last second with this error instead of an
// end of stream; it means the end of the media.
bool IsEndInDisguise(GError* error, const gchar* debug) {
    const char* kText = "No valid frames";
    return (error && error->message && std::strstr(error->message, kText)) ||
           (debug && std::strstr(debug, kText));
}

// What an audio output buffers, in microseconds, where its description leaves the element's
// default (200 ms in segments of 10 ms): the sound server then asks for sound, and the
// engine's threads wake, about ten times a second instead of a hundred. Pausing, seeking and
// closing flush the buffer, so none of them waits for it; a film's pictures keep in step with
// the output's clock, which counts what is still buffered.
constexpr gint64 kSinkBufferUs = 1000000;
constexpr gint64 kSinkLatencyUs = 100000;

void TuneSink(GstElement* element) {
    if (!GST_OBJECT_FLAG_IS_SET(element, GST_ELEMENT_FLAG_SINK))
        return;
    GObjectClass* klass = G_OBJECT_GET_CLASS(element);
    for (const char* name : {"buffer-time", "latency-time"}) {
        GParamSpec* spec = g_object_class_find_property(klass, name);
        if (!spec || spec->value_type != G_TYPE_INT64 || !(spec->flags & G_PARAM_WRITABLE))
            continue;
        gint64 value = 0;
        g_object_get(element, name, &value, nullptr);
        if (value == G_PARAM_SPEC_INT64(spec)->default_value)
            g_object_set(element, name,
                         std::strcmp(name, "buffer-time") == 0 ? kSinkBufferUs : kSinkLatencyUs,
                         nullptr);
    }
}

// The sink an automatic output picks is made only when the output starts.
void OnSinkElementAdded(GstBin*, GstBin*, GstElement* element, gpointer) {
    TuneSink(element);
}

void TuneSinks(GstElement* output) {
    ForEachElement(output, &TuneSink);
    if (!GST_IS_BIN(output))
        return;
    g_signal_connect(output, "deep-element-added", G_CALLBACK(&OnSinkElementAdded), nullptr);
}

}  // namespace

struct MediaPipeline::Impl {
    GstElement* pipeline = nullptr;
    GstElement* volume = nullptr;  // element whose "volume" property sets the gain
    GstBus* bus = nullptr;
    std::shared_ptr<VideoSurface> video;
    bool hasVideo = false;
    int videoWidth = 0;
    int videoHeight = 0;
    double rate = 1.0;

    // Messages let through to the bus, and those the owner has taken: the owner's look at the
    // bus on every tick is a comparison while nothing is pending.
    std::atomic<uint64_t> passed{0};
    uint64_t taken = 0;
    GstBusSyncReply Pass() {
        passed.fetch_add(1, std::memory_order_release);
        return GST_BUS_PASS;
    }

    std::atomic<int> errors{0};
    std::atomic<bool> eos{false};
    std::atomic<uint64_t> audioBuffers{0};
    std::atomic<int64_t> firstAudioAt{0};
    std::mutex errorMutex;
    std::string lastError;

    // DVD: what the sinks show and what the navigator announces, kept by the engine's threads.
    bool dvd = false;
    std::string dvdDevice;
    GstElement* videoSink = nullptr;  // owned by the pipeline
    GstPad* navigatorPad = nullptr;   // the navigator's output, a reference
    std::atomic<bool> overButton{false};
    // What the newest navigation pack read forbids (it runs ahead of the picture with the
    // navigator).
    std::atomic<uint32_t> navigationForbids{0};
    mutable std::mutex dvdMutex;
    DvdScreen screen = DvdScreen::Nothing;
    int screenTitle = 0;
    DvdStreams audio;
    DvdStreams subpictures;
    std::vector<int> audioPhysical;
    std::vector<int> subpicturePhysical;
    GstEvent* pendingSubpicture = nullptr;
    // The user's choices, kept against the navigator's own, which it announces again at every
    // cell. A choice is a one-off: it holds only while the navigator goes on announcing what it
    // announced when the choice was made, in the same title set (the same stream list). A disc
    // that changes the stream itself (its language menu) or another title set ends it.
    int chosenAudio = -1;
    int chosenSubpicture = -1;
    bool chosenShow = false;
    int announcedAudio = -1;  // the navigator's own last choices, as it sent them
    int announcedSubpicture = -1;
    int chosenOverAudio = -1;  // ...when the user chose
    int chosenOverSubpicture = -1;
    std::vector<std::string> chosenAudioList;
    std::vector<std::string> chosenSubpictureList;

    ~Impl() { Close(); }

    void Close() {
        if (pipeline) {
            // Going to NULL joins the streaming threads, so nothing touches this object after.
            gst_element_set_state(pipeline, GST_STATE_NULL);
            gst_object_unref(pipeline);
            pipeline = nullptr;
        }
        if (bus) {
            gst_bus_set_flushing(bus, TRUE);
            gst_object_unref(bus);
            bus = nullptr;
        }
        if (video)
            video->ClearFrame();
        video.reset();
        if (navigatorPad)
            gst_object_unref(navigatorPad);
        navigatorPad = nullptr;
        videoSink = nullptr;
        dvd = false;
        dvdDevice.clear();
        overButton = false;
        navigationForbids = 0;
        {
            std::lock_guard<std::mutex> lock(dvdMutex);
            screen = DvdScreen::Nothing;
            screenTitle = 0;
            audio = DvdStreams();
            subpictures = DvdStreams();
            audioPhysical.clear();
            subpicturePhysical.clear();
            chosenAudio = -1;
            chosenSubpicture = -1;
            chosenShow = false;
            announcedAudio = announcedSubpicture = -1;
            chosenOverAudio = chosenOverSubpicture = -1;
            chosenAudioList.clear();
            chosenSubpictureList.clear();
            if (pendingSubpicture)
                gst_event_unref(pendingSubpicture);
            pendingSubpicture = nullptr;
        }
        volume = nullptr;
        hasVideo = false;
        videoWidth = videoHeight = 0;
        rate = 1.0;
        passed = 0;
        taken = 0;
        errors = 0;
        eos = false;
        audioBuffers = 0;
        firstAudioAt = 0;
        std::lock_guard<std::mutex> lock(errorMutex);
        lastError.clear();
    }

    std::string LastError() {
        std::lock_guard<std::mutex> lock(errorMutex);
        return lastError;
    }

    // Runs on whichever thread posts: only flags and the error text are touched here.
    static GstBusSyncReply OnSyncMessage(GstBus*, GstMessage* message, gpointer data) {
        auto* self = static_cast<Impl*>(data);
        switch (GST_MESSAGE_TYPE(message)) {
            case GST_MESSAGE_ERROR: {
                GError* error = nullptr;
                gchar* debug = nullptr;
                gst_message_parse_error(message, &error, &debug);
                if (IsEndInDisguise(error, debug)) {
                    self->eos = true;
                } else {
                    std::lock_guard<std::mutex> lock(self->errorMutex);
                    if (self->lastError.empty())
                        self->lastError = error && error->message ? error->message : "error";
                    ++self->errors;
                }
                g_clear_error(&error);
                g_free(debug);
                return self->Pass();
            }
            case GST_MESSAGE_EOS:
                self->eos = true;
                return self->Pass();
            case GST_MESSAGE_TAG:
                // The sink takes a tag when it shows the picture that follows it: this is how
                // the shown place of a DVD is known, while the navigator reads ahead.
                if (self->dvd && GST_MESSAGE_SRC(message) == GST_OBJECT_CAST(self->videoSink))
                    self->NoteDvdTags(message);
                return GST_BUS_DROP;
            case GST_MESSAGE_ELEMENT:
                if (gst_navigation_message_get_type(message) == GST_NAVIGATION_MESSAGE_MOUSE_OVER) {
                    gboolean active = FALSE;
                    if (gst_navigation_message_parse_mouse_over(message, &active))
                        self->overButton = active != FALSE;
                }
                return GST_BUS_DROP;
            case GST_MESSAGE_WARNING:
            case GST_MESSAGE_LATENCY:
            case GST_MESSAGE_CLOCK_LOST:
                return self->Pass();
            default:
                // Nobody reads the rest; dropping them keeps the queue short while nobody polls.
                return GST_BUS_DROP;
        }
    }

    static GstPadProbeReturn OnAudioData(GstPad*, GstPadProbeInfo* info, gpointer data) {
        auto* self = static_cast<Impl*>(data);
        if (GST_PAD_PROBE_INFO_TYPE(info) &
            (GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_BUFFER_LIST)) {
            if (self->audioBuffers++ == 0)
                self->firstAudioAt = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                         std::chrono::steady_clock::now().time_since_epoch())
                                         .count();
        }
        return GST_PAD_PROBE_OK;
    }

    static void StoreSample(Impl* self, GstSample* sample) {
        if (!sample)
            return;
        GstVideoInfo info;
        GstCaps* caps = gst_sample_get_caps(sample);
        GstBuffer* buffer = gst_sample_get_buffer(sample);
        if (caps && buffer && self->video && gst_video_info_from_caps(&info, caps)) {
            GstVideoFrame frame;
            if (gst_video_frame_map(&frame, &info, buffer, GST_MAP_READ)) {
                self->video->PutFrame(
                    static_cast<const uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0)),
                    GST_VIDEO_FRAME_WIDTH(&frame), GST_VIDEO_FRAME_HEIGHT(&frame),
                    GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0));
                gst_video_frame_unmap(&frame);
            }
        }
        gst_sample_unref(sample);
    }

    static GstFlowReturn OnPreroll(GstAppSink* sink, gpointer data) {
        StoreSample(static_cast<Impl*>(data), gst_app_sink_pull_preroll(sink));
        return GST_FLOW_OK;
    }

    static GstFlowReturn OnSample(GstAppSink* sink, gpointer data) {
        // Every sample is pulled at once: appsink holds back its end of stream until it is.
        StoreSample(static_cast<Impl*>(data), gst_app_sink_pull_sample(sink));
        return GST_FLOW_OK;
    }

    void NoteDvdTags(GstMessage* message) {
        GstTagList* tags = nullptr;
        gst_message_parse_tag(message, &tags);
        gchar* title = nullptr;
        if (tags && gst_tag_list_get_string(tags, GST_TAG_TITLE, &title) && title) {
            // The navigator names what it plays "DVD Menu" or "Title 1, Chapter 2[, ...]".
            int number = 0;
            std::lock_guard<std::mutex> lock(dvdMutex);
            if (std::strncmp(title, "DVD Menu", 8) == 0) {
                screen = DvdScreen::Menu;
                screenTitle = 0;
            } else if (std::sscanf(title, "Title %d", &number) == 1 && number > 0) {
                screen = DvdScreen::Title;
                screenTitle = number;
            }
        }
        g_free(title);
        if (tags)
            gst_tag_list_unref(tags);
    }

    // One kind of stream ("audio", "subpicture") of the navigator's announcement: each
    // stream's language and the physical stream the demultiplexer knows it by.
    static void ReadAnnouncedStreams(const GstStructure* s, const char* kind, int most,
                                     std::vector<std::string>& languages,
                                     std::vector<int>& physical) {
        languages.clear();
        physical.clear();
        char field[40];
        for (int i = 0; i < most; ++i) {
            std::snprintf(field, sizeof field, "%s-%d-stream", kind, i);
            int stream = 0;
            if (!gst_structure_get_int(s, field, &stream))
                continue;
            const size_t index = static_cast<size_t>(i);
            languages.resize(index + 1);
            while (physical.size() < index)
                physical.push_back(static_cast<int>(physical.size()));
            physical.push_back(stream);
            std::snprintf(field, sizeof field, "%s-%d-language", kind, i);
            const gchar* lang = gst_structure_get_string(s, field);
            // Menus without sub-picture streams still announce one, "MENU".
            languages[index] = lang && std::strcmp(lang, "MENU") != 0 ? lang : "";
        }
    }

    // Puts the user's choice in place of the navigator's in the stream event passing by;
    // returns the event's new structure.
    static const GstStructure* RewriteTrackChoice(GstPadProbeInfo* info, int logical, int physical,
                                                  const gboolean* forcedOnly) {
        GstEvent* event = gst_event_make_writable(GST_PAD_PROBE_INFO_EVENT(info));
        GstStructure* w = gst_event_writable_structure(event);
        gst_structure_set(w, "logical-id", G_TYPE_INT, logical, "physical-id", G_TYPE_INT, physical,
                          nullptr);
        if (forcedOnly)
            gst_structure_set(w, "forced-only", G_TYPE_BOOLEAN, *forcedOnly, nullptr);
        GST_PAD_PROBE_INFO_DATA(info) = event;
        return w;
    }

    // Starts or pauses. A slow output may take its time to start; only an error makes this fail.
    bool ChangeState(GstState state) {
        if (!pipeline)
            return false;
        const int before = errors.load();
        if (gst_element_set_state(pipeline, state) == GST_STATE_CHANGE_FAILURE)
            return false;
        return Settle(before, kSettleTimeoutMs, false);
    }

    // Jumps to a title or chapter (`unit` is the navigator's format, numbers from 1) and waits
    // until the jump has settled.
    bool SeekDvdUnit(const char* unit, int number) {
        const GstFormat format = gst_format_get_by_nick(unit);
        if (!dvd || !pipeline || format == GST_FORMAT_UNDEFINED || number < 1)
            return false;
        const int before = errors.load();
        eos = false;
        if (!gst_element_seek(pipeline, 1.0, format, GST_SEEK_FLAG_FLUSH, GST_SEEK_TYPE_SET, number,
                              GST_SEEK_TYPE_NONE, -1))
            return false;
        return Settle(before, kSettleTimeoutMs, false);
    }

    // Whether a user's stream choice still stands against the navigator's announcement of
    // `own`: it does while the navigator announces what it had when the choice was made, or
    // the choice itself (it takes the audio key at its word until the next cell), in the same
    // list of streams. Anything else is the disc's own doing, and the choice is over.
    static void KeepChoice(int& chosen, int& over, int own, bool sameList) {
        if (chosen < 0)
            return;
        if (over < 0 && own != chosen)
            over = own;
        if (!sameList || (own != over && own != chosen))
            chosen = -1;
    }

    // The navigator announces its streams to the demultiplexer inside the DVD bin; listening
    // on its output is the only way to learn them.
    static GstPadProbeReturn OnNavigatorEvent(GstPad*, GstPadProbeInfo* info, gpointer data) {
        auto* self = static_cast<Impl*>(data);
        GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
        if (!event || GST_EVENT_TYPE(event) != GST_EVENT_CUSTOM_DOWNSTREAM)
            return GST_PAD_PROBE_OK;
        const GstStructure* s = gst_event_get_structure(event);
        if (!s || !gst_structure_has_name(s, "application/x-gst-dvd"))
            return GST_PAD_PROBE_OK;
        const gchar* what = gst_structure_get_string(s, "event");
        if (!what)
            return GST_PAD_PROBE_OK;
        std::lock_guard<std::mutex> lock(self->dvdMutex);
        if (std::strcmp(what, "dvd-lang-codes") == 0) {
            DvdStreams audio;
            DvdStreams subpictures;
            ReadAnnouncedStreams(s, "audio", 8, audio.languages, self->audioPhysical);
            ReadAnnouncedStreams(s, "subpicture", 32, subpictures.languages,
                                 self->subpicturePhysical);
            audio.current = self->audio.current;
            subpictures.current = self->subpictures.current;
            subpictures.hidden = self->subpictures.hidden;
            self->audio = audio;
            self->subpictures = subpictures;
        } else if (std::strcmp(what, "dvd-set-audio-track") == 0) {
            int own = -1;
            gst_structure_get_int(s, "logical-id", &own);
            KeepChoice(self->chosenAudio, self->chosenOverAudio, own,
                       self->audio.languages == self->chosenAudioList);
            self->announcedAudio = own;
            const int chosen = self->chosenAudio;
            if (chosen >= 0 && static_cast<size_t>(chosen) < self->audioPhysical.size())
                s = RewriteTrackChoice(info, chosen,
                                       self->audioPhysical[static_cast<size_t>(chosen)], nullptr);
            int logical = -1;
            if (gst_structure_get_int(s, "logical-id", &logical))
                self->audio.current = logical;
        } else if (std::strcmp(what, "dvd-set-subpicture-track") == 0) {
            // Our own repetition of the announcement (SelectDvdSubpicture) is not the
            // navigator's word.
            if (!gst_structure_has_field(s, "chosen")) {
                int own = -1;
                gst_structure_get_int(s, "logical-id", &own);
                KeepChoice(self->chosenSubpicture, self->chosenOverSubpicture, own & 0x1F,
                           self->subpictures.languages == self->chosenSubpictureList);
                self->announcedSubpicture = own & 0x1F;
            }
            const int chosen = self->chosenSubpicture;
            if (chosen >= 0 && static_cast<size_t>(chosen) < self->subpicturePhysical.size()) {
                const gboolean forcedOnly = self->chosenShow ? FALSE : TRUE;
                s = RewriteTrackChoice(info, chosen,
                                       self->subpicturePhysical[static_cast<size_t>(chosen)],
                                       &forcedOnly);
            }
            int logical = -1;
            gboolean forcedOnly = FALSE;
            gst_structure_get_boolean(s, "forced-only", &forcedOnly);
            if (gst_structure_get_int(s, "logical-id", &logical)) {
                // The display-off flag may ride on the stream number.
                if (logical & 0x80)
                    forcedOnly = TRUE;
                self->subpictures.current = logical & 0x1F;
            }
            self->subpictures.hidden = forcedOnly != FALSE;
        }
        return GST_PAD_PROBE_OK;
    }

    // A sub-picture choice goes out with the navigator's data, from its own thread.
    // A navigation pack (pack header, system header, then the presentation control packet as
    // private stream 2, sub-stream 0) carries the operations forbidden while its part of the
    // video plays: bit n of a big-endian word, user operation n.
    static bool ReadNavigationForbids(GstBuffer* buffer, uint32_t* forbids) {
        constexpr size_t kPci = 38;          // the control packet's start code
        constexpr size_t kUops = kPci + 15;  // after its header, sub-stream, block and category
        GstMapInfo map;
        if (!buffer || !gst_buffer_map(buffer, &map, GST_MAP_READ))
            return false;
        const uint8_t* b = map.data;
        const bool nav = map.size >= kUops + 4 && b[0] == 0 && b[1] == 0 && b[2] == 1 &&
                         b[3] == 0xBA && b[kPci] == 0 && b[kPci + 1] == 0 && b[kPci + 2] == 1 &&
                         b[kPci + 3] == 0xBF && b[kPci + 6] == 0;
        if (nav)
            *forbids = (uint32_t(b[kUops]) << 24 | uint32_t(b[kUops + 1]) << 16 |
                        uint32_t(b[kUops + 2]) << 8 | b[kUops + 3]) &
                       0x01FFFFFFu;
        gst_buffer_unmap(buffer, &map);
        return nav;
    }

    static GstPadProbeReturn OnNavigatorData(GstPad* pad, GstPadProbeInfo* info, gpointer data) {
        auto* self = static_cast<Impl*>(data);
        uint32_t forbids = 0;
        if (ReadNavigationForbids(GST_PAD_PROBE_INFO_BUFFER(info), &forbids))
            self->navigationForbids = forbids;
        GstEvent* pending = nullptr;
        {
            std::lock_guard<std::mutex> lock(self->dvdMutex);
            pending = self->pendingSubpicture;
            self->pendingSubpicture = nullptr;
        }
        if (pending)
            gst_pad_push_event(pad, pending);
        return GST_PAD_PROBE_OK;
    }

    static void OnElementAdded(GstBin*, GstBin*, GstElement* element, gpointer data) {
        auto* self = static_cast<Impl*>(data);
        GstElementFactory* factory = gst_element_get_factory(element);
        // The software decoders thread by frames by default: each thread takes a frame, and the
        // first picture comes out only once every thread has one, several frames late (most of
        // the wait for a 1080p file's first picture). By slices the first picture is out as
        // soon as it is decoded, and for the streams played here one thread keeps well ahead
        // of the picture with less processor time in all.
        if (factory && g_str_has_prefix(GST_OBJECT_NAME(factory), "avdec_") &&
            gst_element_factory_list_is_type(factory, GST_ELEMENT_FACTORY_TYPE_MEDIA_VIDEO) &&
            g_object_class_find_property(G_OBJECT_GET_CLASS(element), "thread-type"))
            gst_util_set_object_arg(G_OBJECT(element), "thread-type", "slice");
        if (!self->dvd)
            return;
        const bool navigator =
            (factory && std::strcmp(GST_OBJECT_NAME(factory), "rsndvdsrc") == 0) ||
            std::strcmp(G_OBJECT_TYPE_NAME(element), "resinDvdSrc") == 0;
        if (!navigator)
            return;
        // Off, the disc starts with its first-play program, as a player must; on (the
        // element's default) it skips straight to the title menu.
        if (g_object_class_find_property(G_OBJECT_GET_CLASS(element), "fast-start"))
            g_object_set(element, "fast-start", FALSE, nullptr);
        std::lock_guard<std::mutex> lock(self->dvdMutex);
        if (self->navigatorPad)
            return;
        GstPad* pad = gst_element_get_static_pad(element, "src");
        if (!pad)
            return;
        gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, &Impl::OnNavigatorEvent, self,
                          nullptr);
        gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, &Impl::OnNavigatorData, self, nullptr);
        self->navigatorPad = pad;
    }

    static void OnSourceSetup(GstElement*, GstElement* source, gpointer data) {
        auto* self = static_cast<Impl*>(data);
        if (g_object_class_find_property(G_OBJECT_GET_CLASS(source), "device"))
            g_object_set(source, "device", self->dvdDevice.c_str(), nullptr);
    }

    // A menu's buttons work once its navigation data is shown, a moment after its picture.
    bool HasButtons() {
        if (!videoSink)
            return false;
        GstQuery* query = gst_navigation_query_new_commands();
        bool found = false;
        if (gst_element_query(videoSink, query)) {
            guint count = 0;
            gst_navigation_query_parse_commands_length(query, &count);
            for (guint i = 0; i < count && !found; ++i) {
                GstNavigationCommand command = GST_NAVIGATION_COMMAND_INVALID;
                if (gst_navigation_query_parse_commands_nth(query, i, &command))
                    found = command == GST_NAVIGATION_COMMAND_ACTIVATE;
            }
        }
        gst_query_unref(query);
        return found;
    }

    void WaitForButtons() {
        constexpr int kButtonWaitMs = 500;
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(kButtonWaitMs);
        while (!HasButtons() && std::chrono::steady_clock::now() < deadline)
            g_usleep(10000);
    }

    bool SendToVideoSink(GstEvent* event) {
        if (!pipeline || !videoSink) {
            gst_event_unref(event);
            return false;
        }
        // Sent to the video sink only: sent to the whole pipeline it would reach the
        // navigator once through every sink.
        return gst_element_send_event(videoSink, event) != FALSE;
    }

    GstElement* MakeAudioSink(std::string* error) {
        GError* parseError = nullptr;
        const std::string description = AudioOutput();
        GstElement* bin = gst_parse_bin_from_description(description.c_str(), TRUE, &parseError);
        if (!bin) {
            if (error)
                *error = "audio output \"" + description +
                         "\": " + (parseError ? parseError->message : "cannot be made");
            g_clear_error(&parseError);
            return nullptr;
        }
        g_clear_error(&parseError);
        TuneSinks(bin);
        if (GstPad* pad = gst_element_get_static_pad(bin, "sink")) {
            gst_pad_add_probe(pad,
                              static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER |
                                                           GST_PAD_PROBE_TYPE_BUFFER_LIST),
                              &Impl::OnAudioData, this, nullptr);
            gst_object_unref(pad);
        }
        return bin;
    }

    GstElement* MakeVideoSink() {
        GstElement* sink = gst_element_factory_make("appsink", nullptr);
        if (!sink)
            return nullptr;
        GstCaps* caps =
            gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "BGRx", nullptr);
        g_object_set(sink, "caps", caps, "sync", TRUE, "max-buffers", 1u, "enable-last-sample",
                     FALSE, nullptr);
        gst_caps_unref(caps);
        GstAppSinkCallbacks callbacks = {};
        callbacks.new_preroll = &Impl::OnPreroll;
        callbacks.new_sample = &Impl::OnSample;
        gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, this, nullptr);
        return sink;
    }

    void WatchBus() {
        bus = gst_pipeline_get_bus(GST_PIPELINE(pipeline));
        gst_bus_set_sync_handler(bus, &Impl::OnSyncMessage, this, nullptr);
    }

    // Waits until the pipeline has finished its state change. False on an error, a refused
    // change or, when `timeoutIsFailure`, the time-out.
    bool Settle(int errorsBefore, int timeoutMs, bool timeoutIsFailure) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            GstState state;
            GstState pending;
            GstStateChangeReturn r =
                gst_element_get_state(pipeline, &state, &pending, 20 * GST_MSECOND);
            if (errors.load() != errorsBefore || r == GST_STATE_CHANGE_FAILURE)
                return false;
            if (r == GST_STATE_CHANGE_SUCCESS || r == GST_STATE_CHANGE_NO_PREROLL)
                return true;
            if (std::chrono::steady_clock::now() >= deadline)
                return !timeoutIsFailure;
        }
    }

    bool Preroll(std::string* error) {
        const int before = errors.load();
        if (gst_element_set_state(pipeline, GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE ||
            !Settle(before, kOpenTimeoutMs, true)) {
            if (error) {
                std::string why = LastError();
                *error = why.empty() ? "the media could not be started" : why;
            }
            return false;
        }
        return true;
    }

    void ReadVideoSize(GstElement* sink) {
        hasVideo = false;
        videoWidth = videoHeight = 0;
        GstPad* pad = gst_element_get_static_pad(sink, "sink");
        if (!pad)
            return;
        if (GstCaps* caps = gst_pad_get_current_caps(pad)) {
            GstVideoInfo info;
            if (gst_video_info_from_caps(&info, caps) && GST_VIDEO_INFO_WIDTH(&info) > 0 &&
                GST_VIDEO_INFO_HEIGHT(&info) > 0) {
                hasVideo = true;
                videoWidth = GST_VIDEO_INFO_WIDTH(&info);
                videoHeight = GST_VIDEO_INFO_HEIGHT(&info);
            }
            gst_caps_unref(caps);
        }
        gst_object_unref(pad);
    }

    // An exact seek waits until the pipeline has settled at the new place; a quick one lands
    // where the stream allows and returns at once.
    bool DoSeek(int64_t ns, double newRate, bool exact = true) {
        if (!pipeline)
            return false;
        const int before = errors.load();
        eos = false;
        const GstSeekFlags flags = static_cast<GstSeekFlags>(
            GST_SEEK_FLAG_FLUSH | (exact ? GST_SEEK_FLAG_ACCURATE : GST_SEEK_FLAG_NONE));
        if (!gst_element_seek(pipeline, newRate, GST_FORMAT_TIME, flags, GST_SEEK_TYPE_SET,
                              ns < 0 ? 0 : ns, GST_SEEK_TYPE_NONE, GST_CLOCK_TIME_NONE))
            return false;
        return !exact || Settle(before, kSettleTimeoutMs, false);
    }
};

MediaPipeline::MediaPipeline() : m_impl(std::make_unique<Impl>()) {}

void MediaPipeline::StartEngine() {
    StartGstreamerAhead();
}

MediaPipeline::~MediaPipeline() = default;

bool MediaPipeline::OpenFile(const std::string& path, std::shared_ptr<VideoSurface> video,
                             std::string* error) {
    Close();
    if (error)
        error->clear();
    if (!EnsureGstreamer(error))
        return false;
    gchar* uri = gst_filename_to_uri(path.c_str(), nullptr);
    if (!uri) {
        if (error)
            *error = "not a file name: " + path;
        return false;
    }
    const bool ok = OpenPlaybin(uri, std::move(video), error);
    g_free(uri);
    return ok;
}

bool MediaPipeline::OpenDvd(const std::string& device, std::shared_ptr<VideoSurface> video,
                            std::string* error) {
    Close();
    if (error)
        error->clear();
    if (!EnsureGstreamer(error))
        return false;
    m_impl->dvd = true;
    m_impl->dvdDevice = device;
    return OpenPlaybin("dvd://", std::move(video), error);
}

bool MediaPipeline::OpenPlaybin(const char* uri, std::shared_ptr<VideoSurface> video,
                                std::string* error) {
    Impl& d = *m_impl;
    d.pipeline = gst_element_factory_make("playbin", nullptr);
    if (!d.pipeline) {
        if (error)
            *error = "the playbin element is missing";
        Close();
        return false;
    }
    gst_object_ref_sink(d.pipeline);
    d.video = std::move(video);
    GstElement* audioSink = d.MakeAudioSink(error);
    GstElement* videoSink = d.MakeVideoSink();
    if (!audioSink || !videoSink) {
        if (audioSink)
            gst_object_unref(gst_object_ref_sink(audioSink));
        if (videoSink)
            gst_object_unref(gst_object_ref_sink(videoSink));
        if (error && error->empty())
            *error = "the appsink element is missing";
        Close();
        return false;
    }
    d.videoSink = videoSink;
    if (d.dvd)
        g_signal_connect(d.pipeline, "source-setup", G_CALLBACK(&Impl::OnSourceSetup), &d);
    g_signal_connect(d.pipeline, "deep-element-added", G_CALLBACK(&Impl::OnElementAdded), &d);
    // Both sinks always set: a default video sink needs a display and fails without one.
    g_object_set(d.pipeline, "uri", uri, "audio-sink", audioSink, "video-sink", videoSink, nullptr);
    d.volume = d.pipeline;
    d.WatchBus();
    if (!d.Preroll(error)) {
        Close();
        return false;
    }
    d.ReadVideoSize(videoSink);
    return true;
}

bool MediaPipeline::OpenAudioCd(const std::string& device, std::string* error) {
    Close();
    if (error)
        error->clear();
    if (!EnsureGstreamer(error))
        return false;
    Impl& d = *m_impl;
    GstElement* source = gst_element_factory_make("cdiocddasrc", nullptr);
    GstElement* convert = gst_element_factory_make("audioconvert", nullptr);
    GstElement* resample = gst_element_factory_make("audioresample", nullptr);
    GstElement* volume = gst_element_factory_make("volume", nullptr);
    GstElement* sink = d.MakeAudioSink(error);
    d.pipeline = gst_pipeline_new(nullptr);
    if (d.pipeline)
        gst_object_ref_sink(d.pipeline);
    if (!source || !convert || !resample || !volume || !sink || !d.pipeline) {
        for (GstElement* e : {source, convert, resample, volume, sink})
            if (e)
                gst_object_unref(gst_object_ref_sink(e));
        if (error && error->empty())
            *error = "the audio CD elements are missing";
        Close();
        return false;
    }
    g_object_set(source, "device", device.c_str(), nullptr);
    // The whole disc as one stream, as a CD player plays it.
    gst_util_set_object_arg(G_OBJECT(source), "mode", "continuous");
    gst_bin_add_many(GST_BIN(d.pipeline), source, convert, resample, volume, sink, nullptr);
    if (!gst_element_link_many(source, convert, resample, volume, sink, nullptr)) {
        if (error)
            *error = "the audio CD pipeline cannot be linked";
        Close();
        return false;
    }
    d.volume = volume;
    d.WatchBus();
    if (!d.Preroll(error)) {
        Close();
        return false;
    }
    return true;
}

void MediaPipeline::Close() {
    m_impl->Close();
}

bool MediaPipeline::IsOpen() const {
    return m_impl->pipeline != nullptr;
}

bool MediaPipeline::IsDvd() const {
    return m_impl->dvd && m_impl->pipeline;
}

bool MediaPipeline::Play() {
    return m_impl->ChangeState(GST_STATE_PLAYING);
}

bool MediaPipeline::Pause() {
    return m_impl->ChangeState(GST_STATE_PAUSED);
}

bool MediaPipeline::Seek(int64_t ns) {
    return m_impl->DoSeek(ns, m_impl->rate);
}

bool MediaPipeline::SeekAhead(int64_t ns) {
    return m_impl->DoSeek(ns, m_impl->rate, false);
}

bool MediaPipeline::SetRate(double rate) {
    Impl& d = *m_impl;
    if (!(rate > 0.0) || !std::isfinite(rate))
        return false;
    if (!d.pipeline) {
        d.rate = rate;
        return false;
    }
    if (d.dvd) {
        // The DVD bin has no rate of its own: it lets an instant rate change pass without
        // effect, and a time seek lands on the disc's time map (back up to a second) and fails
        // in menus. A disc plays at normal speed here; its player steps a title on by seeks.
        return rate == 1.0;
    }
    int64_t position = 0;
    if (!Position(&position))
        position = 0;
    if (!d.DoSeek(position, rate))
        return false;
    d.rate = rate;
    return true;
}

double MediaPipeline::Rate() const {
    return m_impl->rate;
}

void MediaPipeline::SetVolume(double gain) {
    Impl& d = *m_impl;
    if (!d.volume)
        return;
    if (!(gain >= 0.0))
        gain = 0.0;
    if (gain > 10.0)
        gain = 10.0;
    g_object_set(d.volume, "volume", gain, nullptr);
}

bool MediaPipeline::Position(int64_t* ns) const {
    gint64 value = 0;
    if (!m_impl->pipeline ||
        !gst_element_query_position(m_impl->pipeline, GST_FORMAT_TIME, &value) || value < 0)
        return false;
    if (ns)
        *ns = value;
    return true;
}

bool MediaPipeline::Duration(int64_t* ns) const {
    gint64 value = 0;
    if (!m_impl->pipeline ||
        !gst_element_query_duration(m_impl->pipeline, GST_FORMAT_TIME, &value) || value <= 0)
        return false;
    if (ns)
        *ns = value;
    return true;
}

bool MediaPipeline::IsSeekable() const {
    if (!m_impl->pipeline)
        return false;
    GstQuery* query = gst_query_new_seeking(GST_FORMAT_TIME);
    gboolean seekable = FALSE;
    if (gst_element_query(m_impl->pipeline, query))
        gst_query_parse_seeking(query, nullptr, &seekable, nullptr, nullptr);
    gst_query_unref(query);
    return seekable;
}

bool MediaPipeline::UpdateVideoSize() {
    Impl& d = *m_impl;
    if (!d.pipeline || !d.videoSink)
        return false;
    d.ReadVideoSize(d.videoSink);
    return d.hasVideo;
}

bool MediaPipeline::HasVideo() const {
    return m_impl->hasVideo;
}

int MediaPipeline::VideoWidth() const {
    return m_impl->videoWidth;
}

int MediaPipeline::VideoHeight() const {
    return m_impl->videoHeight;
}

bool MediaPipeline::ReachedEnd() const {
    return m_impl->eos.load();
}

bool MediaPipeline::HasFailed() const {
    return m_impl->errors.load() != 0;
}

bool MediaPipeline::NextEvent(MediaEvent* event) {
    Impl& d = *m_impl;
    // Counted before the message is queued: one counted but not yet there is taken next time.
    if (!d.bus || d.passed.load(std::memory_order_acquire) == d.taken)
        return false;
    while (GstMessage* message = gst_bus_pop(d.bus)) {
        ++d.taken;
        bool found = false;
        MediaEvent out;
        switch (GST_MESSAGE_TYPE(message)) {
            case GST_MESSAGE_EOS:
                out.kind = MediaEventKind::EndOfStream;
                found = true;
                break;
            case GST_MESSAGE_ERROR:
            case GST_MESSAGE_WARNING: {
                GError* error = nullptr;
                gchar* debug = nullptr;
                const bool isError = GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR;
                if (isError)
                    gst_message_parse_error(message, &error, &debug);
                else
                    gst_message_parse_warning(message, &error, &debug);
                out.text = error && error->message ? error->message : "";
                if (isError)
                    out.kind = IsEndInDisguise(error, debug) ? MediaEventKind::EndOfStream
                                                             : MediaEventKind::Error;
                else
                    out.kind = MediaEventKind::Warning;
                g_clear_error(&error);
                g_free(debug);
                found = true;
                break;
            }
            case GST_MESSAGE_LATENCY:
                gst_bin_recalculate_latency(GST_BIN(d.pipeline));
                break;
            case GST_MESSAGE_CLOCK_LOST: {
                // The audio device that gave the clock went away: pick a new one.
                GstState state = GST_STATE_NULL;
                gst_element_get_state(d.pipeline, &state, nullptr, 0);
                if (state == GST_STATE_PLAYING) {
                    gst_element_set_state(d.pipeline, GST_STATE_PAUSED);
                    gst_element_set_state(d.pipeline, GST_STATE_PLAYING);
                }
                break;
            }
            default:
                break;
        }
        gst_message_unref(message);
        if (found) {
            if (event)
                *event = out;
            return true;
        }
    }
    return false;
}

bool MediaPipeline::Rewind() {
    Impl& d = *m_impl;
    if (!d.pipeline)
        return false;
    // Ready drops the navigator's state; starting again runs the disc from its beginning.
    if (gst_element_set_state(d.pipeline, GST_STATE_READY) == GST_STATE_CHANGE_FAILURE)
        return false;
    gst_element_get_state(d.pipeline, nullptr, nullptr, kSettleTimeoutMs * GST_MSECOND);
    d.eos = false;
    std::lock_guard<std::mutex> lock(d.dvdMutex);
    d.screen = DvdScreen::Nothing;
    d.screenTitle = 0;
    return true;
}

bool MediaPipeline::SendDvdCommand(DvdCommand command) {
    Impl& d = *m_impl;
    if (!d.dvd || !d.pipeline)
        return false;
    GstEvent* event = nullptr;
    switch (command) {
        case DvdCommand::TitleMenu:
            event = gst_navigation_event_new_command(GST_NAVIGATION_COMMAND_DVD_TITLE_MENU);
            break;
        case DvdCommand::RootMenu:
            event = gst_navigation_event_new_command(GST_NAVIGATION_COMMAND_DVD_ROOT_MENU);
            break;
        case DvdCommand::Resume:
            // The navigator's "menu" command leaves a menu for the place the title was left.
            event = gst_navigation_event_new_command(GST_NAVIGATION_COMMAND_DVD_MENU);
            break;
        case DvdCommand::Activate:
            d.WaitForButtons();
            event = gst_navigation_event_new_command(GST_NAVIGATION_COMMAND_ACTIVATE);
            break;
        case DvdCommand::NextChapter:
            // Relative moves: the chapter the navigator would report is ahead of the picture.
            event = gst_navigation_event_new_key_press("period", GST_NAVIGATION_MODIFIER_NONE);
            break;
        case DvdCommand::PreviousChapter:
            event = gst_navigation_event_new_key_press("comma", GST_NAVIGATION_MODIFIER_NONE);
            break;
    }
    const int before = d.errors.load();
    if (!d.SendToVideoSink(event))
        return false;
    return d.Settle(before, kSettleTimeoutMs, false);
}

bool MediaPipeline::DvdPointerMove(int x, int y) {
    Impl& d = *m_impl;
    if (!d.dvd || !d.pipeline)
        return false;
    d.SendToVideoSink(gst_navigation_event_new_mouse_move(x, y, GST_NAVIGATION_MODIFIER_NONE));
    // The navigator says at once whether the pointer entered or left a button.
    return d.overButton.load();
}

bool MediaPipeline::DvdPointerClick(int x, int y) {
    Impl& d = *m_impl;
    if (!d.dvd || !d.pipeline)
        return false;
    d.WaitForButtons();
    if (!DvdPointerMove(x, y))
        return false;
    const int before = d.errors.load();
    if (!d.SendToVideoSink(
            gst_navigation_event_new_mouse_button_release(1, x, y, GST_NAVIGATION_MODIFIER_NONE)))
        return false;
    d.Settle(before, kSettleTimeoutMs, false);
    return true;
}

bool MediaPipeline::SelectDvdAudio(int stream) {
    Impl& d = *m_impl;
    if (!d.dvd || !d.pipeline || stream < 0 || stream > 7)
        return false;
    {
        std::lock_guard<std::mutex> lock(d.dvdMutex);
        d.chosenAudio = stream;
        d.chosenOverAudio = d.announcedAudio;
        d.chosenAudioList = d.audio.languages;
    }
    // The navigator takes the keys 1 to 8 for the audio streams.
    const char key[2] = {static_cast<char>('1' + stream), 0};
    return d.SendToVideoSink(gst_navigation_event_new_key_press(key, GST_NAVIGATION_MODIFIER_NONE));
}

bool MediaPipeline::SelectDvdSubpicture(int stream, bool show) {
    Impl& d = *m_impl;
    if (!d.dvd || !d.pipeline || stream < 0 || stream > 31)
        return false;
    std::lock_guard<std::mutex> lock(d.dvdMutex);
    const size_t index = static_cast<size_t>(stream);
    const int physical = index < d.subpicturePhysical.size() ? d.subpicturePhysical[index] : stream;
    // The navigator offers no command for this; its own announcement to the demultiplexer is
    // repeated with the chosen stream, and "forced only" hides the ordinary sub-pictures.
    GstStructure* s = gst_structure_new(
        "application/x-gst-dvd", "event", G_TYPE_STRING, "dvd-set-subpicture-track", "logical-id",
        G_TYPE_INT, stream, "physical-id", G_TYPE_INT, physical, "forced-only", G_TYPE_BOOLEAN,
        show ? FALSE : TRUE, "chosen", G_TYPE_BOOLEAN, TRUE, nullptr);
    if (d.pendingSubpicture)
        gst_event_unref(d.pendingSubpicture);
    d.pendingSubpicture = gst_event_new_custom(GST_EVENT_CUSTOM_DOWNSTREAM, s);
    d.chosenSubpicture = stream;
    d.chosenShow = show;
    d.chosenOverSubpicture = d.announcedSubpicture;
    d.chosenSubpictureList = d.subpictures.languages;
    return true;
}

bool MediaPipeline::SeekDvdTitle(int title) {
    return m_impl->SeekDvdUnit("title", title);
}

bool MediaPipeline::SeekDvdChapter(int chapter) {
    return m_impl->SeekDvdUnit("chapter", chapter);
}

DvdScreen MediaPipeline::DvdOnScreen(int* title) const {
    {
        std::lock_guard<std::mutex> lock(m_impl->dvdMutex);
        if (title)
            *title = m_impl->screenTitle;
        if (m_impl->screen != DvdScreen::Nothing)
            return m_impl->screen;
    }
    return DvdInVideoManagerOnly() ? DvdScreen::Menu : DvdScreen::Nothing;
}

bool MediaPipeline::DvdInVideoManagerOnly() const {
    {
        std::lock_guard<std::mutex> lock(m_impl->dvdMutex);
        if (m_impl->screen != DvdScreen::Nothing)
            return false;
    }
    // Started from its first-play program, the navigator can name nothing (no place, no
    // title tags) until it first enters a title set; all it can show before that are the video
    // manager's menus.
    const GstFormat format = gst_format_get_by_nick("title");
    gint64 reading = -1;
    if (!m_impl->dvd || !m_impl->pipeline || !m_impl->video || m_impl->video->View().serial == 0 ||
        format == GST_FORMAT_UNDEFINED)
        return false;
    // It answers nothing, or the first-play program's -1, or 0 for a menu.
    return !gst_element_query_position(m_impl->pipeline, format, &reading) || reading < 1;
}

bool MediaPipeline::DvdReadingTitle(int* title) const {
    const GstFormat format = gst_format_get_by_nick("title");
    gint64 value = 0;
    if (!m_impl->dvd || !m_impl->pipeline || format == GST_FORMAT_UNDEFINED ||
        !gst_element_query_position(m_impl->pipeline, format, &value) || value < 1)
        return false;
    if (title)
        *title = static_cast<int>(value);
    return true;
}

int MediaPipeline::DvdMenuId() const {
    const GstFormat format = gst_format_get_by_nick("chapter");
    gint64 title = -1;
    gint64 part = 0;
    const GstFormat titleFormat = gst_format_get_by_nick("title");
    if (!m_impl->dvd || !m_impl->pipeline || format == GST_FORMAT_UNDEFINED ||
        titleFormat == GST_FORMAT_UNDEFINED)
        return 0;
    // In a menu the navigator reports title 0 and the menu's id as its chapter.
    if (!gst_element_query_position(m_impl->pipeline, titleFormat, &title) || title != 0)
        return 0;
    if (!gst_element_query_position(m_impl->pipeline, format, &part))
        return 0;
    return static_cast<int>(part);
}

uint32_t MediaPipeline::DvdNavigationForbids() const {
    return m_impl->dvd && m_impl->pipeline ? m_impl->navigationForbids.load() : 0;
}

DvdStreams MediaPipeline::DvdAudioStreams() const {
    std::lock_guard<std::mutex> lock(m_impl->dvdMutex);
    return m_impl->audio;
}

DvdStreams MediaPipeline::DvdSubpictureStreams() const {
    std::lock_guard<std::mutex> lock(m_impl->dvdMutex);
    return m_impl->subpictures;
}

uint64_t MediaPipeline::AudioBuffers() const {
    return m_impl->audioBuffers.load();
}

int64_t MediaPipeline::FirstAudioBufferTime() const {
    return m_impl->firstAudioAt.load();
}

}  // namespace plat
