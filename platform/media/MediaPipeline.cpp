#include "platform/media/MediaPipeline.h"

#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gst/video/video.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <deque>
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

    std::atomic<int> errors{0};
    std::atomic<bool> eos{false};
    std::atomic<uint64_t> audioBuffers{0};
    std::atomic<int64_t> firstAudioAt{0};
    std::mutex errorMutex;
    std::string lastError;

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
        volume = nullptr;
        hasVideo = false;
        videoWidth = videoHeight = 0;
        rate = 1.0;
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
                return GST_BUS_PASS;
            }
            case GST_MESSAGE_EOS:
                self->eos = true;
                return GST_BUS_PASS;
            case GST_MESSAGE_WARNING:
            case GST_MESSAGE_ELEMENT:
            case GST_MESSAGE_LATENCY:
            case GST_MESSAGE_CLOCK_LOST:
                return GST_BUS_PASS;
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

    bool DoSeek(int64_t ns, double newRate) {
        if (!pipeline)
            return false;
        const int before = errors.load();
        eos = false;
        if (!gst_element_seek(
                pipeline, newRate, GST_FORMAT_TIME,
                static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                GST_SEEK_TYPE_SET, ns < 0 ? 0 : ns, GST_SEEK_TYPE_NONE, GST_CLOCK_TIME_NONE))
            return false;
        return Settle(before, kSettleTimeoutMs, false);
    }
};

MediaPipeline::MediaPipeline() : m_impl(std::make_unique<Impl>()) {}

bool MediaPipeline::StartEngine(std::string* error) {
    return EnsureGstreamer(error);
}

MediaPipeline::~MediaPipeline() = default;

bool MediaPipeline::OpenFile(const std::string& path, std::shared_ptr<VideoSurface> video,
                             std::string* error) {
    Close();
    if (error)
        error->clear();
    if (!EnsureGstreamer(error))
        return false;
    Impl& d = *m_impl;
    gchar* uri = gst_filename_to_uri(path.c_str(), nullptr);
    if (!uri) {
        if (error)
            *error = "not a file name: " + path;
        return false;
    }
    d.pipeline = gst_element_factory_make("playbin", nullptr);
    if (!d.pipeline) {
        g_free(uri);
        if (error)
            *error = "the playbin element is missing";
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
        g_free(uri);
        if (error && error->empty())
            *error = "the appsink element is missing";
        Close();
        return false;
    }
    // Both sinks always set: a default video sink needs a display and fails without one.
    g_object_set(d.pipeline, "uri", uri, "audio-sink", audioSink, "video-sink", videoSink, nullptr);
    g_free(uri);
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

bool MediaPipeline::Play() {
    Impl& d = *m_impl;
    if (!d.pipeline)
        return false;
    const int before = d.errors.load();
    if (gst_element_set_state(d.pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE)
        return false;
    // A slow output may take its time to start; only an error makes this fail.
    return d.Settle(before, kSettleTimeoutMs, false);
}

bool MediaPipeline::Pause() {
    Impl& d = *m_impl;
    if (!d.pipeline)
        return false;
    const int before = d.errors.load();
    if (gst_element_set_state(d.pipeline, GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE)
        return false;
    return d.Settle(before, kSettleTimeoutMs, false);
}

bool MediaPipeline::Seek(int64_t ns) {
    return m_impl->DoSeek(ns, m_impl->rate);
}

bool MediaPipeline::SetRate(double rate) {
    Impl& d = *m_impl;
    if (!(rate > 0.0) || !std::isfinite(rate))
        return false;
    if (!d.pipeline) {
        d.rate = rate;
        return false;
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
    if (!d.bus)
        return false;
    while (GstMessage* message = gst_bus_pop(d.bus)) {
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

uint64_t MediaPipeline::AudioBuffers() const {
    return m_impl->audioBuffers.load();
}

int64_t MediaPipeline::FirstAudioBufferTime() const {
    return m_impl->firstAudioAt.load();
}

}  // namespace plat
