// The default skin as the build makes it in the run folder: the pictures the page frame and
// the pop-up dialog read are there, load, and fit the places they are drawn at.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "core/kernel/Utf16File.h"
#include "core/ui/InfoDialog.h"
#include "core/ui/PictureEx.h"
#include "platform/gfx/ImageFile.h"
#include "platform/io/Path.h"
#include "platform/sys/Module.h"
#include "platform/text/Text.h"
#include "tests/harness/HeadUnitFixture.h"

using namespace pagetest;

namespace {

std::string RunFolder() {
    return plat::JoinPath(plat::DirName(plat::ExecutableDir()), "run");
}

plat::Surface Load(const std::string& path) {
    plat::Surface s;
    EXPECT_TRUE(plat::LoadImageFile(path, s)) << path;
    return s;
}

// The skin the configuration defaults name.
std::string DefaultSkinName() {
    std::u16string text;
    if (!ReadUtf16File(plat::JoinPath(RunFolder(), "DefaultCfg.ini"), text))
        return std::string();
    std::string utf8 = plat::Utf16ToUtf8(text);
    size_t at = utf8.find("\nSkin = ");
    if (at == std::string::npos)
        return std::string();
    size_t end = utf8.find_first_of("\r\n", at + 8);
    return utf8.substr(at + 8, end - at - 8);
}

// Pixels of `area` in which one primary (shift 16 red, 8 green) clearly leads the others.
int CountLeaning(const plat::Surface& s, const plat::Rect& area, int shift) {
    int n = 0;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x) {
            uint32_t p = s.PixelAt(x, y);
            int lead = (p >> shift) & 0xFF;
            int other = shift == 16 ? (p >> 8) & 0xFF : (p >> 16) & 0xFF;
            n += lead > other + 80 && lead > int(p & 0xFF) + 80;
        }
    return n;
}

}  // namespace

TEST(DefaultSkin, TheFrameImagesMeetAtThePlacesThePagesDrawThem) {
    const std::string skin = DefaultSkinName();
    ASSERT_FALSE(skin.empty());
    const std::string dir = plat::JoinPath(RunFolder(), "Skin/" + skin + "/common_png");
    plat::Surface up = Load(dir + "/horz-up.png");
    plat::Surface middle = Load(dir + "/horz-middle.png");
    plat::Surface down = Load(dir + "/horz-down.png");
    plat::Surface vert = Load(dir + "/vert.png");
    plat::Surface vertRear = Load(dir + "/vertr.png");
    plat::Surface vert2 = Load(dir + "/vert2.png");
    // Drawn from x 10: the long rules stop 10 pixels short of the right edge, the middle one
    // at the left column's rule (x 270).
    EXPECT_EQ(10 + up.Width(), 790);
    EXPECT_EQ(10 + down.Width(), 790);
    EXPECT_EQ(10 + middle.Width(), 270);
    // The column's rule runs from under the top rule (y 83) to the bottom rule of each screen,
    // the short ones down to the middle rule.
    EXPECT_EQ(83 + vert.Height(), 398);
    EXPECT_EQ(83 + vertRear.Height(), 517);
    EXPECT_EQ(83 + vert2.Height(), 155);
    for (const plat::Surface* s : {&up, &middle, &down, &vert, &vertRear, &vert2})
        EXPECT_GT(testsupport::CountInk(*s, s->Bounds(), 0), 0) << "something is drawn";
}

TEST(DefaultSkin, ThePopUpPicturesFitTheDialog) {
    const std::string dir = plat::JoinPath(RunFolder(), "Skin/Default 01/InfoDialog");
    plat::Surface bg = Load(dir + "/info-bg.png");
    EXPECT_EQ(bg.Width(), CModalDialog::DluToPixelsX(424));
    EXPECT_EQ(bg.Height(), CModalDialog::DluToPixelsY(256));
    EXPECT_EQ(bg.PixelAt(0, 0) >> 24, 0xFFu) << "the whole dialog is covered";
    for (const char* name :
         {"info-btn-yes.png", "info-btn-no.png", "info-btn-accept.png", "info-btn-reject.png"}) {
        // Four frames of the button's place: normal, highlighted, pressed, disabled, each
        // looking different.
        plat::Surface strip = Load(dir + "/" + name);
        const plat::Rect place = CInfoDialog::ButtonRect(0);
        ASSERT_EQ(strip.Width(), 4 * place.Width()) << name;
        ASSERT_EQ(strip.Height(), place.Height()) << name;
        for (int f = 0; f + 1 < 4; ++f)
            EXPECT_NE(strip.PixelAt(f * 160 + 80, 20), strip.PixelAt((f + 1) * 160 + 80, 20))
                << name << " frame " << f;
    }
    const plat::Rect picture = CInfoDialog::PictureRect();
    for (const char* name : {"info-img-info.jpg", "info-img-phone.jpg", "info-img-waiting.gif"}) {
        plat::Surface s = Load(dir + "/" + name);
        EXPECT_LE(s.Width(), picture.Width()) << name;
        EXPECT_LE(s.Height(), picture.Height()) << name;
    }
}

TEST(DefaultSkin, TheWaitingPictureAnimatesThroughThePictureControl) {
    plat::ui::Options options;
    options.backend = plat::ui::Backend::Headless;
    ASSERT_TRUE(plat::ui::Init(options));
    {
        CPictureEx control;
        std::u16string path = plat::Utf8ToUtf16(
            plat::JoinPath(RunFolder(), "Skin/Default 01/InfoDialog/info-img-waiting.gif"));
        ASSERT_TRUE(control.LoadFile(path.c_str()));
        std::vector<GIF_FRAME> frames = control.GetFrames();
        ASSERT_EQ(frames.size(), 12u);
        for (size_t i = 0; i < frames.size(); ++i) {
            ASSERT_TRUE(frames[i].picture);
            EXPECT_EQ(frames[i].width, 96);
            EXPECT_EQ(CPictureEx::FrameDelayMs(frames[i]), 80u);
            const plat::Surface& a = *frames[i].picture;
            const plat::Surface& b = *frames[(i + 1) % frames.size()].picture;
            int changed = 0;
            for (int k = 0; k < a.Width() * a.Height(); ++k)
                changed += a.Pixels()[k] != b.Pixels()[k];
            EXPECT_GT(changed, 50) << "frame " << i << " moves on";
        }
    }
    plat::ui::Terminate();
}

// The pop-up as a page opens it, with the shipped pictures.
class DefaultSkinDialogTest : public HeadUnitTest {};

TEST_F(DefaultSkinDialogTest, AQuestionShowsItsPictureAndButtons) {
    std::filesystem::create_directories("Skin");
    std::filesystem::copy(plat::JoinPath(RunFolder(), "Skin/Default 01"), "Skin/Default 01",
                          std::filesystem::copy_options::recursive);
    ASSERT_TRUE(CKernel::GetInstance()->Create());

    INFODLG_RECORD r;
    std::memset(&r, 0, sizeof r);
    r.byFlags = INFODLG_BUTTON1 | INFODLG_BUTTON2 | INFODLG_SHOW_TEXT | INFODLG_SHOW_PICTURE;
    plat::StrCopy(r.szPicture, CInfoDialog::SkinFile(u"info-img-info.jpg"));
    plat::StrCopy(r.szText, u"Store the stations found in the presets?");
    plat::StrCopy(r.szButton[0], CInfoDialog::SkinFile(u"info-btn-yes.png"));
    plat::StrCopy(r.szButton[1], CInfoDialog::SkinFile(u"info-btn-no.png"));
    CInfoDialog dialog(0, plat::ui::kNoWindow);
    dialog.SetInfo(&r);

    std::thread user([&] {
        plat::Surface screen;
        // The front screen shows the dialog with the info picture, its message and both
        // buttons; then the right button answers.
        auto shown = [&] {
            if (!plat::ui::CaptureScreen(0, screen))
                return false;
            const plat::Rect at = plat::Rect::FromXYWH(82, 32, 636, 416);
            const plat::Rect pic = CInfoDialog::PictureRect().Offset(at.left, at.top);
            const plat::Rect text = CInfoDialog::MessageRect().Offset(at.left, at.top);
            const plat::Rect yes = CInfoDialog::ButtonRect(0).Offset(at.left, at.top);
            const plat::Rect no = CInfoDialog::ButtonRect(1).Offset(at.left, at.top);
            const uint32_t well = plat::Argb(0xFF, 10, 10, 10);
            return testsupport::CountInk(screen, pic, well) > 200 &&
                   testsupport::CountInk(screen, text, well) > 200 &&
                   CountLeaning(screen, yes, 8) > 100 && CountLeaning(screen, no, 16) > 100;
        };
        EXPECT_TRUE(WaitUntil(shown));
        if (::testing::Test::HasFailure())
            plat::ui::SavePng(screen, m_dir.File("popup.png"));
        plat::ui::InjectPen(plat::ui::PenAction::Down, plat::Point{82 + 400, 32 + 320});
        plat::ui::InjectPen(plat::ui::PenAction::Up, plat::Point{82 + 400, 32 + 320});
    });
    EXPECT_EQ(dialog.DoModal(), INFODLG_RESULT_BUTTON2);
    user.join();
}
