#include "platform/media/AudioCapture.h"

#include <fcntl.h>
#include <gst/gst.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/media/GstSupport.h"

namespace plat {

namespace {

std::mutex g_configMutex;
bool g_sourceSet = false;
std::string g_source;
bool g_encodersSet = false;
std::vector<std::string> g_encoders;

constexpr GstClockTime kStateWait = 3 * GST_SECOND;
// A source that gives nothing for this long after it was started has not started.
constexpr int kFirstSoundMs = 3000;
// What an audio source buffers, in microseconds: a sound server left to its own choice may
// hand over a second's sound at a time, and a short recording would hold nothing.
constexpr gint64 kSourceBufferUs = 100000;
constexpr gint64 kSourceLatencyUs = 10000;

// Sets a source's buffering where its description left the element's default.
void TuneSource(GstElement* element) {
    GObjectClass* klass = G_OBJECT_GET_CLASS(element);
    for (const char* name : {"buffer-time", "latency-time"}) {
        GParamSpec* spec = g_object_class_find_property(klass, name);
        if (!spec || spec->value_type != G_TYPE_INT64)
            continue;
        gint64 value = 0;
        g_object_get(element, name, &value, nullptr);
        if (value == G_PARAM_SPEC_INT64(spec)->default_value)
            g_object_set(element, name,
                         std::strcmp(name, "buffer-time") == 0 ? kSourceBufferUs : kSourceLatencyUs,
                         nullptr);
    }
}

std::vector<std::string> SplitNames(const std::string& text) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(',', start);
        if (comma == std::string::npos)
            comma = text.size();
        std::string name = text.substr(start, comma - start);
        size_t a = name.find_first_not_of(" \t");
        size_t b = name.find_last_not_of(" \t");
        if (a != std::string::npos)
            out.push_back(name.substr(a, b - a + 1));
        start = comma + 1;
    }
    return out;
}

std::string ErrorText(GstMessage* message) {
    GError* err = nullptr;
    gchar* debug = nullptr;
    gst_message_parse_error(message, &err, &debug);
    std::string text = err && err->message ? err->message : "unknown error";
    g_clear_error(&err);
    g_free(debug);
    return text;
}

// What an input of the source is called: the device it opened, or its element's kind.
std::string InputName(GstElement* element) {
    GObjectClass* klass = G_OBJECT_GET_CLASS(element);
    for (const char* name : {"current-device", "device-name", "device"}) {
        GParamSpec* spec = g_object_class_find_property(klass, name);
        if (!spec || spec->value_type != G_TYPE_STRING || !(spec->flags & G_PARAM_READABLE))
            continue;
        gchar* value = nullptr;
        g_object_get(element, name, &value, nullptr);
        std::string text = value ? value : "";
        g_free(value);
        if (!text.empty())
            return text;
    }
    GstElementFactory* factory = gst_element_get_factory(element);
    const gchar* kind =
        factory ? gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(factory)) : nullptr;
    return kind ? kind : GST_ELEMENT_NAME(element);
}

// An input takes sound unless it says it is muted.
bool InputEnabled(GstElement* element) {
    GParamSpec* spec = g_object_class_find_property(G_OBJECT_GET_CLASS(element), "mute");
    if (!spec || spec->value_type != G_TYPE_BOOLEAN)
        return true;
    gboolean muted = FALSE;
    g_object_get(element, "mute", &muted, nullptr);
    return !muted;
}

// The source's inputs (its elements that take nothing from another), each with its state.
void ReportInputs(GstElement* source, const AudioCapture::Report& report) {
    ForEachElement(source, [&](GstElement* element) {
        if (element->numsinkpads > 0 || GST_IS_BIN(element))
            return;
        report("Input pin: " + InputName(element));
        if (InputEnabled(element))
            report("\tENABLED");
    });
}

// The encoders' settings for speech: a steady bit rate, which the AVI index handles well.
void TuneEncoder(GstElement* encoder, const std::string& name) {
    if (name == "lamemp3enc")
        g_object_set(encoder, "target", 1, "bitrate", 64, "cbr", TRUE, nullptr);
    else if (name.rfind("avenc_wma", 0) == 0)
        g_object_set(encoder, "bitrate", 64000, nullptr);
}

}  // namespace

void SetCaptureSource(const std::string& description) {
    std::lock_guard<std::mutex> hold(g_configMutex);
    g_sourceSet = true;
    g_source = description;
}

std::string CaptureSource() {
    std::lock_guard<std::mutex> hold(g_configMutex);
    if (g_sourceSet)
        return g_source;
    const char* env = std::getenv("VELKORA_CAPTURE_SOURCE");
    return env ? env : "";
}

void SetCaptureEncoders(const std::vector<std::string>& names) {
    std::lock_guard<std::mutex> hold(g_configMutex);
    g_encodersSet = true;
    g_encoders = names;
}

std::vector<std::string> CaptureEncoders() {
    std::lock_guard<std::mutex> hold(g_configMutex);
    if (g_encodersSet)
        return g_encoders;
    if (const char* env = std::getenv("VELKORA_CAPTURE_ENCODERS"))
        return SplitNames(env);
    return {"lamemp3enc", "avenc_wmav2"};
}

struct AudioCapture::Impl {
    GstElement* pipeline = nullptr;
    GstElement* sink = nullptr;  // owned by the pipeline
    GstBus* bus = nullptr;
    std::string encoder;
    bool running = false;
    std::string failure;
    std::atomic<bool> sound{false};  // the source has delivered since the last start

    static GstPadProbeReturn OnSound(GstPad*, GstPadProbeInfo*, gpointer self) {
        static_cast<Impl*>(self)->sound.store(true);
        return GST_PAD_PROBE_OK;
    }

    ~Impl() { Release(); }

    void Release() {
        if (pipeline) {
            gst_element_set_state(pipeline, GST_STATE_NULL);
            gst_object_unref(pipeline);
            pipeline = nullptr;
        }
        if (bus) {
            gst_object_unref(bus);
            bus = nullptr;
        }
        sink = nullptr;
        encoder.clear();
        running = false;
        failure.clear();
    }

    // Errors waiting on the bus; the first is kept.
    void DrainBus() {
        if (!bus)
            return;
        while (GstMessage* m = gst_bus_pop_filtered(bus, GST_MESSAGE_ERROR)) {
            if (failure.empty())
                failure = ErrorText(m);
            gst_message_unref(m);
        }
    }

    GstElement* MakeSource(const Report& report, std::string& why) {
        std::string description = CaptureSource();
        if (!description.empty()) {
            report("Selecting Audio Input Device: " + description);
            GError* err = nullptr;
            GstElement* e = gst_parse_bin_from_description_full(description.c_str(), TRUE, nullptr,
                                                                GST_PARSE_FLAG_NONE, &err);
            if (!e)
                why = err && err->message ? err->message : "cannot make " + description;
            g_clear_error(&err);
            return e;
        }
        GstDeviceMonitor* monitor = gst_device_monitor_new();
        gst_device_monitor_add_filter(monitor, "Audio/Source", nullptr);
        GstElement* e = nullptr;
        if (gst_device_monitor_start(monitor)) {
            GList* devices = gst_device_monitor_get_devices(monitor);
            if (devices) {
                GstDevice* first = GST_DEVICE(devices->data);
                gchar* name = gst_device_get_display_name(first);
                report(std::string("Selecting Audio Input Device: ") + (name ? name : "?"));
                g_free(name);
                e = gst_device_create_element(first, "capture");
                if (!e)
                    why = "the input device gives no source";
            } else {
                why = "no audio input device";
            }
            g_list_free_full(devices, gst_object_unref);
            gst_device_monitor_stop(monitor);
        } else {
            why = "no audio input device";
        }
        gst_object_unref(monitor);
        return e;
    }

    bool Build(const Report& report, CaptureStep& step) {
        Release();
        std::string why;
        if (!EnsureGstreamer(&why)) {
            report("ERROR - Could not create the Filter Graph Manager. " + why);
            step = CaptureStep::Engine;
            return false;
        }
        pipeline = gst_pipeline_new("capture");
        if (!pipeline) {
            report("ERROR - Could not create the Filter Graph Manager.");
            step = CaptureStep::Engine;
            return false;
        }
        bus = gst_pipeline_get_bus(GST_PIPELINE(pipeline));

        GstElement* source = MakeSource(report, why);
        if (!source) {
            report("ERROR - No audio input device: " + why);
            step = CaptureStep::Source;
            Release();
            return false;
        }
        ForEachElement(source, &TuneSource);
        gst_bin_add(GST_BIN(pipeline), source);

        GstElement* enc = nullptr;
        for (const std::string& name : CaptureEncoders()) {
            report("Testing Audio Compressor: " + name);
            enc = gst_element_factory_make(name.c_str(), "compressor");
            if (enc) {
                encoder = name;
                break;
            }
        }
        if (!enc) {
            report("ERROR - No audio compressor.");
            step = CaptureStep::Encoder;
            Release();
            return false;
        }
        if (encoder.find("mp3") != std::string::npos)
            report("Use MP3 compressor ..");
        else if (encoder.find("wmav2") != std::string::npos)
            report("Use wma V2 compressor ..");
        else
            report("Use " + encoder + " compressor ..");
        TuneEncoder(enc, encoder);

        GstElement* queue = gst_element_factory_make("queue", nullptr);
        GstElement* convert = gst_element_factory_make("audioconvert", nullptr);
        GstElement* resample = gst_element_factory_make("audioresample", nullptr);
        GstElement* mux = gst_element_factory_make("avimux", "mux");
        sink = gst_element_factory_make("filesink", "writer");
        if (!queue || !convert || !resample || !mux || !sink) {
            for (GstElement* e : {queue, convert, resample, mux, sink, enc})
                if (e)
                    gst_object_unref(e);
            sink = nullptr;
            report("ERROR - Could not make the AVI multiplexer and the file writer.");
            step = CaptureStep::Muxer;
            Release();
            return false;
        }
        if (GstPad* pad = gst_element_get_static_pad(queue, "sink")) {
            gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, &Impl::OnSound, this, nullptr);
            gst_object_unref(pad);
        }
        // Bytes reach the file as they are made: a recording cut by a power loss keeps what
        // was said.
        g_object_set(sink, "buffer-mode", 2, "sync", FALSE, "async", FALSE, nullptr);
        gst_bin_add_many(GST_BIN(pipeline), queue, convert, resample, enc, mux, sink, nullptr);
        if (!gst_element_link_many(source, queue, convert, resample, enc, mux, sink, nullptr)) {
            report("ERROR - Could not connect the audio input, " + encoder + " and the AVI mux.");
            step = CaptureStep::Link;
            Release();
            return false;
        }
        // The source is opened now, so that a device that cannot be used shows at once (the
        // writer has no file yet, so only the source goes ahead).
        if (gst_element_set_state(source, GST_STATE_READY) == GST_STATE_CHANGE_FAILURE) {
            DrainBus();
            report("ERROR - The audio input device cannot be opened. " + failure);
            step = CaptureStep::Source;
            Release();
            return false;
        }
        ReportInputs(source, report);
        failure.clear();
        step = CaptureStep::None;
        return true;
    }

    CaptureStart Start(const std::string& path, std::string* error,
                       const std::atomic<bool>* cancel) {
        auto fail = [&](const std::string& why) {
            if (error)
                *error = why;
            return CaptureStart::Failed;
        };
        if (!pipeline)
            return fail("the recorder is not built");
        if (running)
            return fail("a recording is running");
        // The name is taken here, exclusively: an existing recording is never written over.
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST) {
                if (error)
                    *error = "the file exists";
                return CaptureStart::Exists;
            }
            return fail(std::string("cannot create the file: ") + std::strerror(errno));
        }
        ::close(fd);
        // Old messages belong to the last recording.
        gst_bus_set_flushing(bus, TRUE);
        gst_bus_set_flushing(bus, FALSE);
        failure.clear();
        sound.store(false);
        g_object_set(sink, "location", path.c_str(), nullptr);
        GstStateChangeReturn r = gst_element_set_state(pipeline, GST_STATE_PLAYING);
        if (r != GST_STATE_CHANGE_FAILURE)
            r = gst_element_get_state(pipeline, nullptr, nullptr, kStateWait);
        // Running means sound is coming: a source that fails once started says so on the bus,
        // one that stays mute gives nothing.
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kFirstSoundMs);
        while (r != GST_STATE_CHANGE_FAILURE && failure.empty() && !sound.load() &&
               std::chrono::steady_clock::now() < deadline) {
            if (cancel && cancel->load()) {
                failure = "called off";
                break;
            }
            if (GstMessage* m =
                    gst_bus_timed_pop_filtered(bus, 5 * GST_MSECOND, GST_MESSAGE_ERROR)) {
                failure = ErrorText(m);
                gst_message_unref(m);
            }
        }
        DrainBus();
        if (failure.empty() && !sound.load())
            failure = "no sound from the input";
        if (r == GST_STATE_CHANGE_FAILURE || r == GST_STATE_CHANGE_ASYNC || !failure.empty()) {
            std::string why = failure.empty() ? "the recorder did not start" : failure;
            gst_element_set_state(pipeline, GST_STATE_NULL);
            failure.clear();
            // Nothing was recorded: no empty file is left behind under a recording's name.
            ::unlink(path.c_str());
            return fail(why);
        }
        running = true;
        return CaptureStart::Running;
    }

    bool Stop(int timeoutMs) {
        if (!pipeline || !running)
            return false;
        running = false;
        bool ok = true;
        // The end of the stream goes from the source to the file; the multiplexer writes its
        // headers and index when it passes.
        gst_element_send_event(pipeline, gst_event_new_eos());
        GstMessage* m = gst_bus_timed_pop_filtered(
            bus, static_cast<GstClockTime>(timeoutMs) * GST_MSECOND,
            static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
        if (!m) {
            ok = false;
        } else {
            if (GST_MESSAGE_TYPE(m) == GST_MESSAGE_ERROR) {
                failure = ErrorText(m);
                ok = false;
            }
            gst_message_unref(m);
        }
        // Down to NULL: only there does the writer let go of the file, so that the next
        // recording can name its own.
        gst_element_set_state(pipeline, GST_STATE_NULL);
        failure.clear();
        return ok;
    }
};

AudioCapture::AudioCapture() : m_impl(std::make_unique<Impl>()) {}

AudioCapture::~AudioCapture() = default;

bool AudioCapture::Build(const Report& report, CaptureStep* failed) {
    CaptureStep step = CaptureStep::None;
    Report r = report ? report : [](const std::string&) {};
    bool ok = m_impl->Build(r, step);
    if (failed)
        *failed = step;
    return ok;
}

bool AudioCapture::IsBuilt() const {
    return m_impl->pipeline != nullptr;
}

std::string AudioCapture::Encoder() const {
    return m_impl->encoder;
}

void AudioCapture::Release() {
    m_impl->Release();
}

CaptureStart AudioCapture::Start(const std::string& path, std::string* error,
                                 const std::atomic<bool>* cancel) {
    return m_impl->Start(path, error, cancel);
}

bool AudioCapture::Stop(int timeoutMs) {
    return m_impl->Stop(timeoutMs);
}

bool AudioCapture::IsRunning() const {
    return m_impl->running;
}

std::string AudioCapture::Failure() {
    m_impl->DrainBus();
    return m_impl->failure;
}

}  // namespace plat
