// The skin drawing scripts: text files (*.draw) beside the skin's ini sources that say how
// each image of a skin folder is drawn. The generator reads one script and writes its images
// into the folder of the run tree that mirrors the script's folder.
//
// A script is read line by line. Blank lines are skipped; "# " (a hash followed by a blank or
// the line end) starts a comment. Words are separated by blanks; "double quotes" keep a text
// with blanks together.
//
//   include "file.draw"        definitions of another script (path relative to this one)
//   colour NAME C [C ...]      a named colour; with several values frame k takes value k
//                              (modulo their count), so one line gives a button its four looks
//   define NAME ... end        a macro: its lines, with $1..$9 replaced by the words given to
//                              "use NAME a b c"
//   image FILE W H [frames N] [delay CS] [quality Q] ... end
//                              an image of frames W x H: .png, .jpg or .bmp place the N frames
//                              side by side (a button's strip: normal, highlighted, pressed,
//                              disabled); .gif makes an animation of N frames shown CS hundredths
//                              of a second each. Q is the JPEG quality (default 92).
//
// Commands inside an image run once per frame, with (0, 0) at the frame's top left:
//   fill P                     the whole frame
//   rect X Y W H P             round X Y W H R P            ellipse CX CY RX RY P
//   frame X Y W H R T P        (a rounded outline T thick)  ring CX CY R T P
//   line X1 Y1 X2 Y2 T P       poly P X1 Y1 X2 Y2 X3 Y3 ...
//   text X Y W H SIZE P ALIGN "text" [regular]   ALIGN is left, center or right; bold unless
//                              "regular"; SIZE is the line height in pixels
//   icon NAME X Y S P          a glyph in the S x S box at X, Y (see Icons.h)
//   use NAME words...          a macro
//
// Numbers are expressions of + - * / and parentheses over numbers and W, H (frame size),
// F (frame index) and N (frame count), written without blanks: (W-40)/2.
// Colours C are #RRGGBB, #RRGGBBAA or a colour name. A paint P is a colour, or a gradient over
// the shape's box: v:C1:C2 (top to bottom) or h:C1:C2 (left to right).
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/gfx/Surface.h"

namespace skin {

struct SourceLine {
    std::string file;
    int number = 0;
    std::string text;
};

struct ImageDef {
    std::string name;
    int width = 0;  // of one frame
    int height = 0;
    int frames = 1;
    int delayCs = 10;
    int quality = 92;
    SourceLine header;
    std::vector<SourceLine> body;
};

class Script {
public:
    // False with "file:line: what" in `error` for anything the script cannot mean.
    bool LoadFile(const std::string& path, std::string* error);
    bool LoadText(const std::string& text, const std::string& origin, std::string* error);

    const std::vector<ImageDef>& Images() const { return m_images; }

    // The frames of an image, each drawn on its own surface.
    bool RenderFrames(const ImageDef& image, std::vector<plat::Surface>& frames,
                      std::string* error) const;
    // The image as its file holds it: a strip, or the animation's frames.
    bool Encode(const ImageDef& image, std::vector<uint8_t>& bytes, std::string* error) const;
    // Every image into `folder` (made when missing); files are replaced atomically.
    bool WriteAll(const std::string& folder, std::string* error) const;

private:
    struct Frame;

    bool Parse(const std::vector<SourceLine>& lines, int depth, std::string* error);
    bool Run(const SourceLine& line, Frame& frame, int depth, std::string* error) const;

    std::map<std::string, std::vector<uint32_t>> m_colours;
    std::map<std::string, std::vector<SourceLine>> m_macros;
    std::vector<ImageDef> m_images;
};

}  // namespace skin
