// What the leak checker of the sanitizer builds must not report: memory that system libraries
// keep on purpose until the process ends. The one list for every program and test; nothing here
// calls these functions, the sanitizer runtime looks them up at start. The platform library's
// link options require the first symbol, so every program that links the library takes this
// file (an archive member nothing refers to would otherwise be left out). Defined in every
// build, so that requirement holds without the sanitizers too.

extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_suppressions() {
    return
        // GLib drops its old quark table each time it grows (for lock-free lookups), and
        // GStreamer makes it grow during start-up. The stack ends in g_malloc (GLib has no
        // frame pointers to unwind further), so that is what is matched.
        "leak:^g_malloc$\n"
        // fontconfig stores its patterns' pointers as offsets, so the checker cannot see that
        // pango's font caches still hold them.
        "leak:libfontconfig.so\n"
        // libdbus (opened by SDL on X11) keeps its connection data.
        "leak:libdbus-1.so\n"
        // The PulseAudio client library keeps its per-process data (the recorder's source).
        "leak:libpulse.so\n"
        // GLib's printf-made strings that the media elements keep come from the C library's
        // vasprintf, above which the stack cannot be unwound (no frame pointers in GLib); the
        // system's own code never calls it.
        "leak:__vasprintf_internal\n";
}

extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_options() {
    return "print_suppressions=0";
}
