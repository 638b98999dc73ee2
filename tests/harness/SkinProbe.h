// What the default skin's homepage looks like, read from the run folder, so that pictures of
// the screens can be checked for it: where each icon sits and the icon pictures themselves.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/gfx/Surface.h"

namespace harness {

// `appKey` is the layout's name ("APPTYPE_MUSIC"). Succeeds when nearly every opaque pixel of
// frame `frame` of the icon is where the homepage's page 1 of `seat` places it on `screen`.
::testing::AssertionResult ShowsHomepageIcon(const plat::Surface& screen, int seat,
                                             const std::string& appKey, int frame);
// The MUSIC and PHOTO icons of page 1, normal or highlighted: the seat shows its homepage.
::testing::AssertionResult ShowsHomepage(const plat::Surface& screen, int seat);
// Desktop co-ordinates of the middle of `appKey`'s icon on its homepage page of `seat`; the
// page number (from 1) in `page`.
plat::Point HomepageIconCentre(int seat, const std::string& appKey, int* page = nullptr);

// Every pixel of `screen` in `rect` has the colour `argb`.
::testing::AssertionResult Filled(const plat::Surface& screen, const plat::Rect& rect,
                                  uint32_t argb);

}  // namespace harness
