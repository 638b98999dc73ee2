// The resume file of a Video CD: 64 bytes holding the playing position (100 ns units) as
// UTF-16LE decimal text, NUL-terminated and padded with zeros.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#define VCD_RESUME_BYTES 64

// The 64 bytes for `position` (negative positions are stored as 0).
std::vector<uint8_t> MakeVcdResume(int64_t position);
// The position of a resume file's bytes; false (no seek) unless they are exactly 64 bytes of
// 1 to 31 digits followed by a NUL, and the number fits.
bool ParseVcdResume(const uint8_t* data, size_t size, int64_t* position);

// The file at a native path, replaced whole.
bool WriteVcdResume(const std::string& path, int64_t position);
bool ReadVcdResume(const std::string& path, int64_t* position);

// The folder, under the base folder, that keeps the resume files of discs and DVD folders.
#define MV_RESUME_FOLDER u"Resume"

// The resume file of a disc or DVD folder known by `id` ("c:\\<number>", as the kernel names
// discs): "<base>\\Resume\\<number>_1.bmk". Empty for an empty id.
std::u16string ResumeFilePath(const std::u16string& baseDir, const std::u16string& id);
// The id of a DVD folder: "c:\\<seconds since 1970>" of its VIDEO_TS.IFO's time. False when
// the file's time cannot be read, so that no folder is offered another one's place.
bool DvdFolderId(const std::string& nativeIfo, std::u16string* id);
