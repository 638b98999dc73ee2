// velkora_dvdmux PIPELINE: runs a pipeline in gst-launch's syntax whose DVD multiplexer is the
// element named "mux", to its end. The multiplexer drops whatever an input brings before every
// input has told its format, so with gst-launch the stream whose encoder starts first loses its
// opening frames (and ends early on the disc), by how the machine schedules the encoders. Here
// each input tells its format only after the ones before it, in the order of the multiplexer's
// inputs (which also numbers the streams), and brings data only once all of them have.
#include <gst/gst.h>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

struct Unref {
    void operator()(gpointer object) const { gst_object_unref(object); }
};
template <typename T>
using Ref = std::unique_ptr<T, Unref>;

class Gate {
public:
    Gate() {
        g_mutex_init(&m_lock);
        g_cond_init(&m_changed);
    }
    ~Gate() {
        g_cond_clear(&m_changed);
        g_mutex_clear(&m_lock);
    }
    Gate(const Gate&) = delete;
    Gate& operator=(const Gate&) = delete;

    void Add(GstPad* pad) { m_pads.push_back(pad); }
    size_t Count() const { return m_pads.size(); }
    GstPad* Pad(size_t index) const { return m_pads[index]; }

    // Waits until the first `count` inputs have their format, or the run is over.
    void WaitForCaps(size_t count) {
        g_mutex_lock(&m_lock);
        while (!m_over && !HaveCaps(count))
            g_cond_wait(&m_changed, &m_lock);
        g_mutex_unlock(&m_lock);
    }
    void Changed() {
        g_mutex_lock(&m_lock);
        g_cond_broadcast(&m_changed);
        g_mutex_unlock(&m_lock);
    }
    // Lets every waiting input go, so that the pipeline can be stopped.
    void Open() {
        g_mutex_lock(&m_lock);
        m_over = true;
        g_cond_broadcast(&m_changed);
        g_mutex_unlock(&m_lock);
    }

private:
    bool HaveCaps(size_t count) const {
        for (size_t i = 0; i < count; ++i)
            if (!gst_pad_has_current_caps(m_pads[i]))
                return false;
        return true;
    }

    GMutex m_lock;
    GCond m_changed;
    std::vector<GstPad*> m_pads;  // the multiplexer's inputs, which hold them
    bool m_over = false;
};

struct Input {
    Gate* gate;
    size_t index;
};

// Stored only once the multiplexer has taken it.
void OnCaps(GstPad*, GParamSpec*, gpointer gate) {
    static_cast<Gate*>(gate)->Changed();
}

GstPadProbeReturn OnEvent(GstPad*, GstPadProbeInfo* info, gpointer data) {
    const auto* input = static_cast<const Input*>(data);
    if (GST_EVENT_TYPE(GST_PAD_PROBE_INFO_EVENT(info)) == GST_EVENT_CAPS)
        input->gate->WaitForCaps(input->index);
    return GST_PAD_PROBE_OK;
}

GstPadProbeReturn OnData(GstPad*, GstPadProbeInfo*, gpointer data) {
    const auto* input = static_cast<const Input*>(data);
    input->gate->WaitForCaps(input->gate->Count());
    return GST_PAD_PROBE_REMOVE;
}

}  // namespace

int main(int argc, char** argv) {
    gst_init(&argc, &argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s PIPELINE\n", argv[0]);
        return 2;
    }
    // Declared first: the pipeline's threads use them until it is gone.
    Gate gate;
    std::vector<Input> inputs;
    GError* error = nullptr;
    Ref<GstElement> pipeline(gst_parse_launch(argv[1], &error));
    if (error) {
        std::fprintf(stderr, "velkora_dvdmux: %s\n", error->message);
        g_error_free(error);
        return 1;
    }
    Ref<GstElement> mux(gst_bin_get_by_name(GST_BIN(pipeline.get()), "mux"));
    if (!mux) {
        std::fprintf(stderr, "velkora_dvdmux: no element named mux\n");
        return 1;
    }

    GstIterator* pads = gst_element_iterate_sink_pads(mux.get());
    GValue item = G_VALUE_INIT;
    while (gst_iterator_next(pads, &item) == GST_ITERATOR_OK) {
        gate.Add(GST_PAD(g_value_get_object(&item)));
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(pads);
    inputs.reserve(gate.Count());
    for (size_t i = 0; i < gate.Count(); ++i)
        inputs.push_back({&gate, i});
    for (Input& input : inputs) {
        GstPad* pad = gate.Pad(input.index);
        g_signal_connect(pad, "notify::caps", G_CALLBACK(&OnCaps), &gate);
        gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, &OnEvent, &input, nullptr);
        gst_pad_add_probe(pad,
                          static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER |
                                                       GST_PAD_PROBE_TYPE_BUFFER_LIST),
                          &OnData, &input, nullptr);
    }

    int status = 0;
    if (gst_element_set_state(pipeline.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        std::fprintf(stderr, "velkora_dvdmux: the pipeline does not start\n");
        status = 1;
    } else {
        Ref<GstBus> bus(gst_element_get_bus(pipeline.get()));
        GstMessage* message = gst_bus_timed_pop_filtered(
            bus.get(), GST_CLOCK_TIME_NONE,
            static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
        if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
            GError* failure = nullptr;
            gst_message_parse_error(message, &failure, nullptr);
            std::fprintf(stderr, "velkora_dvdmux: %s\n", failure->message);
            g_error_free(failure);
            status = 1;
        }
        gst_message_unref(message);
    }
    gate.Open();
    gst_element_set_state(pipeline.get(), GST_STATE_NULL);
    return status;
}
