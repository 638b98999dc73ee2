#include "platform/media/AudioCd.h"

#include <cdio/cdio.h>

#include <memory>

namespace plat {

bool ReadCdToc(const std::string& device, CdToc* toc, std::string* error) {
    if (toc)
        *toc = CdToc();
    std::unique_ptr<CdIo_t, void (*)(CdIo_t*)> cd(cdio_open(device.c_str(), DRIVER_UNKNOWN),
                                                  &cdio_destroy);
    if (!cd) {
        if (error)
            *error = "no disc in " + device;
        return false;
    }
    const track_t first = cdio_get_first_track_num(cd.get());
    const track_t count = cdio_get_num_tracks(cd.get());
    const lsn_t leadOut = cdio_get_track_lsn(cd.get(), CDIO_CDROM_LEADOUT_TRACK);
    if (first == CDIO_INVALID_TRACK || count == CDIO_INVALID_TRACK || count == 0 ||
        leadOut == CDIO_INVALID_LSN) {
        if (error)
            *error = "no table of contents on " + device;
        return false;
    }
    CdToc result;
    result.leadOutSector = leadOut;
    for (int i = 0; i < count; ++i) {
        const track_t number = static_cast<track_t>(first + i);
        CdTrack track;
        track.number = number;
        track.startSector = cdio_get_track_lsn(cd.get(), number);
        const lsn_t next = i + 1 < count ? cdio_get_track_lsn(cd.get(), number + 1) : leadOut;
        if (track.startSector == CDIO_INVALID_LSN || next == CDIO_INVALID_LSN ||
            next < track.startSector) {
            if (error)
                *error = "damaged table of contents on " + device;
            return false;
        }
        track.sectors = next - track.startSector;
        track.audio = cdio_get_track_format(cd.get(), number) == TRACK_FORMAT_AUDIO;
        result.tracks.push_back(track);
    }
    if (toc)
        *toc = std::move(result);
    return true;
}

}  // namespace plat
