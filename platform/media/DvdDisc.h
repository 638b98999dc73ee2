// What a DVD-Video says about itself, read once from its information files through libdvdnav
// and libdvdread: titles, chapter times, stream attributes, the operations each title or menu
// forbids, text languages. The navigator inside the playback pipeline gives none of these.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/media/DvdText.h"

namespace plat {

struct DvdAudioStream {
    std::string language;  // two-letter code, "" when the disc gives none
    int format = 0;        // 0 AC-3, 2 MPEG-1, 3 MPEG-2 extended, 4 LPCM, 6 DTS
    int channels = 0;
};

struct DvdTitle {
    int titleSet = 0;
    // Where each chapter starts, from the title's start, in nanoseconds.
    std::vector<int64_t> chapterStarts;
    int64_t duration = 0;  // ns
    // Operations the title forbids: bit n is user operation n of DVD-Video (0 title or time
    // play ... 24 video presentation mode change), a set bit forbids.
    uint32_t prohibited = 0;
    // The same for each chapter, from the program chain that plays it (a title may have
    // several chains, each with its own).
    std::vector<uint32_t> chapterProhibited;
    std::vector<DvdAudioStream> audio;
    std::vector<std::string> subpictures;  // languages
};

class DvdDisc {
public:
    // `path` is a drive, an image or a folder holding VIDEO_TS (or the VIDEO_TS folder).
    bool Open(const std::string& path, std::string* error = nullptr);
    bool IsOpen() const { return m_open; }

    int TitleCount() const { return static_cast<int>(m_titles.size()); }
    // Titles count from 1; null when out of range.
    const DvdTitle* Title(int title) const;
    // Chapter (from 1) of a title at a time into it (ns); 0 when unknown.
    int ChapterAt(int title, int64_t ns) const;
    // Forbidden operations of a menu: the title menu of the video manager (titleSet 0) or a
    // menu of a title set, by menu id (2 title, 3 root, 4 sub-picture, 5 audio, 6 angle,
    // 7 chapter).
    uint32_t MenuProhibited(int titleSet, int menuId) const;
    // The disc's text data, by language (none when the disc has no text).
    int TextLanguages() const { return static_cast<int>(m_text.size()); }
    const std::vector<DvdTextLanguage>& Text() const { return m_text; }
    // False when the disc points at text data that cannot be read.
    bool TextReadable() const { return m_textReadable; }

private:
    bool m_open = false;
    std::vector<DvdTitle> m_titles;
    struct Menu {
        int titleSet;
        int menuId;
        uint32_t prohibited;
    };
    std::vector<Menu> m_menus;
    std::vector<DvdTextLanguage> m_text;
    bool m_textReadable = true;
};

// The folder that a stored DVD path means: the VIDEO_TS folder or the file VIDEO_TS.IFO in it
// both name the disc folder above; anything else is taken as it is (a drive, an image).
std::string DvdSourcePath(const std::string& path);
// Whether the disc (a drive with a disc in it, or the folder) is still there.
bool DvdPresent(const std::string& path);

}  // namespace plat
