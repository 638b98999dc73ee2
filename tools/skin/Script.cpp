#include "tools/skin/Script.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "platform/gfx/Canvas.h"
#include "platform/gfx/Font.h"
#include "platform/gfx/ImageFile.h"
#include "platform/io/File.h"
#include "platform/io/Path.h"
#include "platform/text/Text.h"
#include "tools/skin/GifEncode.h"
#include "tools/skin/Icons.h"
#include "tools/skin/Raster.h"

namespace skin {

namespace {

constexpr int kMaxDepth = 16;
constexpr int kMaxSide = 4096;

std::string Where(const SourceLine& line) {
    return line.file + ":" + std::to_string(line.number) + ": ";
}

bool Fail(std::string* error, const SourceLine& line, const std::string& what) {
    if (error)
        *error = Where(line) + what;
    return false;
}

// Splits a line into words; a quoted text is one word (without its quotes). A "#" word starts
// a comment.
bool Words(const SourceLine& line, std::vector<std::string>& out, std::string* error) {
    out.clear();
    const std::string& s = line.text;
    size_t i = 0;
    while (i < s.size()) {
        if (std::isspace(static_cast<unsigned char>(s[i]))) {
            ++i;
            continue;
        }
        if (s[i] == '#' &&
            (i + 1 == s.size() || std::isspace(static_cast<unsigned char>(s[i + 1]))))
            break;
        if (s[i] == '"') {
            size_t end = s.find('"', i + 1);
            if (end == std::string::npos)
                return Fail(error, line, "unterminated text");
            out.push_back(s.substr(i + 1, end - i - 1));
            i = end + 1;
            continue;
        }
        size_t end = i;
        while (end < s.size() && !std::isspace(static_cast<unsigned char>(s[end])))
            ++end;
        out.push_back(s.substr(i, end - i));
        i = end;
    }
    return true;
}

std::vector<SourceLine> SplitLines(const std::string& text, const std::string& origin) {
    std::vector<SourceLine> lines;
    size_t start = 0;
    int number = 1;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        std::string row =
            text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!row.empty() && row.back() == '\r')
            row.pop_back();
        lines.push_back({origin, number++, row});
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return lines;
}

bool ReadText(const std::string& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    out.assign(std::istreambuf_iterator<char>(in), {});
    return true;
}

// Numbers: + - * / and parentheses over numbers and the frame's variables.
class Expression {
public:
    Expression(const std::string& text, const std::map<char, double>& vars)
        : m_s(text), m_vars(vars) {}

    bool Evaluate(double& out) {
        if (!Sum(out))
            return false;
        return m_pos == m_s.size();
    }

private:
    bool Sum(double& v) {
        if (!Product(v))
            return false;
        while (m_pos < m_s.size() && (m_s[m_pos] == '+' || m_s[m_pos] == '-')) {
            char op = m_s[m_pos++];
            double r;
            if (!Product(r))
                return false;
            v = op == '+' ? v + r : v - r;
        }
        return true;
    }
    bool Product(double& v) {
        if (!Unary(v))
            return false;
        while (m_pos < m_s.size() && (m_s[m_pos] == '*' || m_s[m_pos] == '/')) {
            char op = m_s[m_pos++];
            double r;
            if (!Unary(r))
                return false;
            if (op == '/' && r == 0)
                return false;
            v = op == '*' ? v * r : v / r;
        }
        return true;
    }
    bool Unary(double& v) {
        if (m_pos < m_s.size() && m_s[m_pos] == '-') {
            ++m_pos;
            if (!Unary(v))
                return false;
            v = -v;
            return true;
        }
        return Atom(v);
    }
    bool Atom(double& v) {
        if (m_pos >= m_s.size())
            return false;
        char c = m_s[m_pos];
        if (c == '(') {
            ++m_pos;
            if (!Sum(v) || m_pos >= m_s.size() || m_s[m_pos] != ')')
                return false;
            ++m_pos;
            return true;
        }
        auto var = m_vars.find(c);
        if (var != m_vars.end()) {
            ++m_pos;
            v = var->second;
            return true;
        }
        if (std::isdigit(static_cast<unsigned char>(c)) || c == '.') {
            size_t end = m_pos;
            while (end < m_s.size() &&
                   (std::isdigit(static_cast<unsigned char>(m_s[end])) || m_s[end] == '.'))
                ++end;
            char* stop = nullptr;
            std::string number = m_s.substr(m_pos, end - m_pos);
            v = std::strtod(number.c_str(), &stop);
            if (!stop || *stop != 0)
                return false;
            m_pos = end;
            return true;
        }
        return false;
    }

    const std::string& m_s;
    const std::map<char, double>& m_vars;
    size_t m_pos = 0;
};

bool ParseHexColour(const std::string& word, uint32_t& out) {
    if (word.size() != 7 && word.size() != 9)
        return false;
    for (size_t i = 1; i < word.size(); ++i)
        if (!std::isxdigit(static_cast<unsigned char>(word[i])))
            return false;
    uint32_t v = static_cast<uint32_t>(std::strtoul(word.c_str() + 1, nullptr, 16));
    out = word.size() == 7 ? (0xFF000000u | v) : ((v & 0xFF) << 24) | (v >> 8);
    return true;
}

// Wraps a macro argument that is a sum or product in parentheses, so "$1/2" keeps its sense.
std::string MacroArgument(const std::string& word) {
    bool expression = !word.empty();
    bool op = false;
    for (size_t i = 0; i < word.size(); ++i) {
        char c = word[i];
        if (std::strchr("+-*/", c) && i > 0)
            op = true;
        if (!std::isdigit(static_cast<unsigned char>(c)) && !std::strchr("+-*/().WHFN", c))
            expression = false;
    }
    return expression && op ? "(" + word + ")" : word;
}

}  // namespace

struct Script::Frame {
    plat::Surface* surface = nullptr;
    plat::Canvas* canvas = nullptr;
    plat::Rect clip;  // the frame's area in the surface
    int index = 0;
    int count = 1;
    double width = 0;
    double height = 0;
};

bool Script::LoadFile(const std::string& path, std::string* error) {
    std::string text;
    if (!ReadText(path, text)) {
        if (error)
            *error = path + ": cannot read";
        return false;
    }
    return LoadText(text, path, error);
}

bool Script::LoadText(const std::string& text, const std::string& origin, std::string* error) {
    return Parse(SplitLines(text, origin), 0, error);
}

bool Script::Parse(const std::vector<SourceLine>& lines, int depth, std::string* error) {
    if (depth > kMaxDepth) {
        if (error)
            *error = (lines.empty() ? std::string() : lines[0].file) + ": includes nest too deep";
        return false;
    }
    std::vector<std::string> words;
    for (size_t i = 0; i < lines.size(); ++i) {
        const SourceLine& line = lines[i];
        if (!Words(line, words, error))
            return false;
        if (words.empty())
            continue;
        const std::string& cmd = words[0];
        if (cmd == "include") {
            if (words.size() != 2)
                return Fail(error, line, "include takes one file");
            std::string path = plat::JoinPath(plat::DirName(line.file), words[1]);
            std::string text;
            if (!ReadText(path, text))
                return Fail(error, line, "cannot read " + path);
            if (!Parse(SplitLines(text, path), depth + 1, error))
                return false;
        } else if (cmd == "colour") {
            if (words.size() < 3)
                return Fail(error, line, "colour takes a name and at least one value");
            std::vector<uint32_t> values;
            for (size_t k = 2; k < words.size(); ++k) {
                uint32_t c;
                if (!ParseHexColour(words[k], c))
                    return Fail(error, line, "not a colour: " + words[k]);
                values.push_back(c);
            }
            m_colours[words[1]] = values;
        } else if (cmd == "define" || cmd == "image") {
            std::vector<SourceLine> body;
            size_t k = i + 1;
            std::vector<std::string> inner;
            for (; k < lines.size(); ++k) {
                if (!Words(lines[k], inner, error))
                    return false;
                if (!inner.empty() && inner[0] == "end")
                    break;
                if (!inner.empty() && (inner[0] == "define" || inner[0] == "image"))
                    return Fail(error, lines[k], inner[0] + " inside " + cmd);
                body.push_back(lines[k]);
            }
            if (k == lines.size())
                return Fail(error, line, cmd + " without end");
            i = k;
            if (cmd == "define") {
                if (words.size() != 2)
                    return Fail(error, line, "define takes one name");
                m_macros[words[1]] = std::move(body);
                continue;
            }
            ImageDef image;
            image.header = line;
            image.body = std::move(body);
            std::map<char, double> none;
            auto number = [&](const std::string& w, int& out) {
                double v;
                if (!Expression(w, none).Evaluate(v))
                    return false;
                out = static_cast<int>(std::lround(v));
                return true;
            };
            if (words.size() < 4 || !number(words[2], image.width) ||
                !number(words[3], image.height))
                return Fail(error, line, "image takes a file name, a width and a height");
            for (size_t w = 4; w < words.size(); w += 2) {
                int* field = words[w] == "frames"    ? &image.frames
                             : words[w] == "delay"   ? &image.delayCs
                             : words[w] == "quality" ? &image.quality
                                                     : nullptr;
                if (!field || w + 1 >= words.size() || !number(words[w + 1], *field))
                    return Fail(error, line, "unknown image option: " + words[w]);
            }
            image.name = words[1];
            std::string ext = image.name.substr(image.name.find_last_of('.') + 1);
            if (image.name.find('.') == std::string::npos ||
                (ext != "png" && ext != "jpg" && ext != "bmp" && ext != "gif"))
                return Fail(error, line, "images are .png, .jpg, .bmp or .gif");
            if (image.name.find('/') != std::string::npos ||
                image.name.find('\\') != std::string::npos)
                return Fail(error, line, "an image is written beside its script");
            if (image.width < 1 || image.height < 1 || image.frames < 1 ||
                image.width * static_cast<int64_t>(ext == "gif" ? 1 : image.frames) > kMaxSide ||
                image.height > kMaxSide || image.frames > 256)
                return Fail(error, line, "image size out of range");
            if (image.quality < 1 || image.quality > 100 || image.delayCs < 0)
                return Fail(error, line, "image option out of range");
            for (const ImageDef& other : m_images)
                if (other.name == image.name)
                    return Fail(error, line, image.name + " is drawn twice");
            m_images.push_back(std::move(image));
        } else {
            return Fail(error, line, "unknown statement: " + cmd);
        }
    }
    return true;
}

bool Script::Run(const SourceLine& line, Frame& frame, int depth, std::string* error) const {
    std::vector<std::string> words;
    if (!Words(line, words, error))
        return false;
    if (words.empty())
        return true;
    const std::string& cmd = words[0];

    if (cmd == "use") {
        if (words.size() < 2)
            return Fail(error, line, "use takes a macro name");
        auto macro = m_macros.find(words[1]);
        if (macro == m_macros.end())
            return Fail(error, line, "no macro " + words[1]);
        if (depth >= kMaxDepth)
            return Fail(error, line, "macros nest too deep");
        for (const SourceLine& body : macro->second) {
            SourceLine expanded = body;
            std::string& t = expanded.text;
            for (size_t p = t.find('$'); p != std::string::npos; p = t.find('$', p)) {
                if (p + 1 < t.size() && t[p + 1] >= '1' && t[p + 1] <= '9') {
                    size_t k = static_cast<size_t>(t[p + 1] - '1') + 2;
                    std::string arg = k < words.size() ? MacroArgument(words[k]) : std::string();
                    // A quoted argument stays one word.
                    if (words.size() > k && words[k].find(' ') != std::string::npos)
                        arg = "\"" + words[k] + "\"";
                    t.replace(p, 2, arg);
                    p += arg.size();
                } else {
                    ++p;
                }
            }
            if (!Run(expanded, frame, depth + 1, error)) {
                if (error)
                    *error += "\n  " + Where(line) + "in use of " + words[1];
                return false;
            }
        }
        return true;
    }

    const std::map<char, double> vars = {
        {'W', frame.width}, {'H', frame.height}, {'F', frame.index}, {'N', frame.count}};
    auto num = [&](size_t k, double& out) {
        if (k >= words.size())
            return Fail(error, line, cmd + ": too few values");
        if (!Expression(words[k], vars).Evaluate(out))
            return Fail(error, line, "not a number: " + words[k]);
        return true;
    };
    auto colour = [&](const std::string& word, uint32_t& out) {
        if (ParseHexColour(word, out))
            return true;
        auto named = m_colours.find(word);
        if (named == m_colours.end())
            return Fail(error, line, "not a colour: " + word);
        out = named->second[static_cast<size_t>(frame.index) % named->second.size()];
        return true;
    };
    const double ox = frame.clip.left, oy = frame.clip.top;
    // A paint over the box x, y, w, h (frame co-ordinates).
    auto paint = [&](size_t k, double x, double y, double w, double h, Paint& out) {
        if (k >= words.size())
            return Fail(error, line, cmd + ": no colour");
        const std::string& word = words[k];
        if (word.size() > 2 && (word[0] == 'v' || word[0] == 'h') && word[1] == ':') {
            size_t mid = word.find(':', 2);
            uint32_t a = 0, b = 0;
            if (mid == std::string::npos || !colour(word.substr(2, mid - 2), a) ||
                !colour(word.substr(mid + 1), b))
                return Fail(error, line, "gradients are v:C1:C2 or h:C1:C2");
            Pt from{ox + x, oy + y};
            Pt to = word[0] == 'v' ? Pt{ox + x, oy + y + h} : Pt{ox + x + w, oy + y};
            out = Paint::Linear(a, b, from, to);
            return true;
        }
        uint32_t c = 0;
        if (!colour(word, c))
            return false;
        out = Paint::Colour(c);
        return true;
    };
    auto moved = [&](Shape s) {
        for (auto& contour : s.contours)
            for (Pt& p : contour)
                p.x += ox, p.y += oy;
        return s;
    };
    auto fill = [&](const Shape& s, const Paint& p) {
        Fill(*frame.surface, moved(s), p, frame.clip);
    };
    auto count = [&](size_t n) {
        if (words.size() != n)
            return Fail(error, line, cmd + " takes " + std::to_string(n - 1) + " values");
        return true;
    };

    double v[8];
    Paint p;
    if (cmd == "fill") {
        if (!count(2) || !paint(1, 0, 0, frame.width, frame.height, p))
            return false;
        fill(Rectangle(0, 0, frame.width, frame.height), p);
    } else if (cmd == "rect") {
        if (!count(6))
            return false;
        for (int k = 0; k < 4; ++k)
            if (!num(k + 1, v[k]))
                return false;
        if (!paint(5, v[0], v[1], v[2], v[3], p))
            return false;
        fill(Rectangle(v[0], v[1], v[2], v[3]), p);
    } else if (cmd == "round") {
        if (!count(7))
            return false;
        for (int k = 0; k < 5; ++k)
            if (!num(k + 1, v[k]))
                return false;
        if (!paint(6, v[0], v[1], v[2], v[3], p))
            return false;
        fill(RoundRect(v[0], v[1], v[2], v[3], v[4]), p);
    } else if (cmd == "frame") {
        if (!count(8))
            return false;
        for (int k = 0; k < 6; ++k)
            if (!num(k + 1, v[k]))
                return false;
        if (!paint(7, v[0], v[1], v[2], v[3], p))
            return false;
        fill(RoundFrame(v[0], v[1], v[2], v[3], v[4], v[5]), p);
    } else if (cmd == "ellipse") {
        if (!count(6))
            return false;
        for (int k = 0; k < 4; ++k)
            if (!num(k + 1, v[k]))
                return false;
        if (!paint(5, v[0] - v[2], v[1] - v[3], 2 * v[2], 2 * v[3], p))
            return false;
        fill(Ellipse(v[0], v[1], v[2], v[3]), p);
    } else if (cmd == "ring") {
        if (!count(6))
            return false;
        for (int k = 0; k < 4; ++k)
            if (!num(k + 1, v[k]))
                return false;
        if (!paint(5, v[0] - v[2], v[1] - v[2], 2 * v[2], 2 * v[2], p))
            return false;
        fill(Ring(v[0], v[1], v[2], v[3]), p);
    } else if (cmd == "line") {
        if (!count(7))
            return false;
        for (int k = 0; k < 5; ++k)
            if (!num(k + 1, v[k]))
                return false;
        double x = std::min(v[0], v[2]), y = std::min(v[1], v[3]);
        if (!paint(6, x, y, std::fabs(v[2] - v[0]), std::fabs(v[3] - v[1]), p))
            return false;
        fill(Line({v[0], v[1]}, {v[2], v[3]}, v[4]), p);
    } else if (cmd == "poly") {
        if (words.size() < 8 || words.size() % 2 != 0)
            return Fail(error, line, "poly takes a colour and at least three points");
        std::vector<Pt> pts;
        double minX = 1e18, minY = 1e18, maxX = -1e18, maxY = -1e18;
        for (size_t k = 2; k + 1 < words.size(); k += 2) {
            Pt pt;
            if (!num(k, pt.x) || !num(k + 1, pt.y))
                return false;
            minX = std::min(minX, pt.x), maxX = std::max(maxX, pt.x);
            minY = std::min(minY, pt.y), maxY = std::max(maxY, pt.y);
            pts.push_back(pt);
        }
        if (!paint(1, minX, minY, maxX - minX, maxY - minY, p))
            return false;
        fill(Polygon(pts), p);
    } else if (cmd == "text") {
        if (words.size() != 9 && words.size() != 10)
            return Fail(error, line, "text takes X Y W H SIZE COLOUR ALIGN \"text\" [regular]");
        for (int k = 0; k < 5; ++k)
            if (!num(k + 1, v[k]))
                return false;
        uint32_t c;
        if (!colour(words[6], c))
            return false;
        uint32_t align;
        if (words[7] == "left")
            align = plat::kTextLeft;
        else if (words[7] == "center")
            align = plat::kTextCenter;
        else if (words[7] == "right")
            align = plat::kTextRight;
        else
            return Fail(error, line, "align is left, center or right");
        bool bold = true;
        if (words.size() == 10) {
            if (words[9] != "regular")
                return Fail(error, line, "the last word of text may only be regular");
            bold = false;
        }
        plat::Font font;
        if (!plat::Font::Create("Liberation Sans", static_cast<int>(std::lround(v[4])), 0,
                                bold ? 700 : 400, true, font))
            return Fail(error, line, "no font of that size");
        frame.canvas->SetClip(frame.clip);
        frame.canvas->SetFont(font);
        frame.canvas->SetTextColor(c);
        plat::Rect r = plat::Rect::FromXYWH(
            static_cast<int>(std::lround(ox + v[0])), static_cast<int>(std::lround(oy + v[1])),
            static_cast<int>(std::lround(v[2])), static_cast<int>(std::lround(v[3])));
        frame.canvas->DrawText(plat::Utf8ToUtf16(words[8]), r,
                               align | plat::kTextVCenter | plat::kTextSingleLine);
    } else if (cmd == "icon") {
        if (!count(6))
            return false;
        for (int k = 0; k < 3; ++k)
            if (!num(k + 2, v[k]))
                return false;
        if (!paint(5, v[0], v[1], v[2], v[2], p))
            return false;
        if (!DrawIcon(*frame.surface, frame.clip, words[1], ox + v[0], oy + v[1], v[2], p,
                      frame.index, frame.count))
            return Fail(error, line, "no icon " + words[1]);
    } else {
        return Fail(error, line, "unknown command: " + cmd);
    }
    return true;
}

bool Script::RenderFrames(const ImageDef& image, std::vector<plat::Surface>& frames,
                          std::string* error) const {
    frames.clear();
    for (int f = 0; f < image.frames; ++f) {
        frames.emplace_back(image.width, image.height);
        plat::Surface& surface = frames.back();
        std::unique_ptr<plat::Canvas> canvas = plat::MakeCanvas(surface);
        if (!canvas)
            return Fail(error, image.header, "cannot draw");
        Frame frame;
        frame.surface = &surface;
        frame.canvas = canvas.get();
        frame.clip = surface.Bounds();
        frame.index = f;
        frame.count = image.frames;
        frame.width = image.width;
        frame.height = image.height;
        for (const SourceLine& line : image.body)
            if (!Run(line, frame, 0, error))
                return false;
    }
    return true;
}

bool Script::Encode(const ImageDef& image, std::vector<uint8_t>& bytes, std::string* error) const {
    std::vector<plat::Surface> frames;
    if (!RenderFrames(image, frames, error))
        return false;
    std::string ext = image.name.substr(image.name.find_last_of('.') + 1);
    if (ext == "gif") {
        if (!EncodeGif(frames, image.delayCs, bytes))
            return Fail(error, image.header, "cannot encode " + image.name);
        return true;
    }
    plat::Surface strip(image.width * image.frames, image.height);
    std::unique_ptr<plat::Canvas> canvas = plat::MakeCanvas(strip);
    if (!canvas)
        return Fail(error, image.header, "cannot draw");
    for (int f = 0; f < image.frames; ++f)
        canvas->DrawImage(frames[static_cast<size_t>(f)], f * image.width, 0, plat::Blend::Copy);
    plat::ImageFormat format = ext == "png"   ? plat::ImageFormat::Png
                               : ext == "jpg" ? plat::ImageFormat::Jpeg
                                              : plat::ImageFormat::Bmp;
    if (!plat::EncodeImage(strip, format, image.quality, bytes))
        return Fail(error, image.header, "cannot encode " + image.name);
    return true;
}

bool Script::WriteAll(const std::string& folder, std::string* error) const {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (!plat::IsDirectory(folder)) {
        if (error)
            *error = folder + ": cannot make the folder";
        return false;
    }
    for (const ImageDef& image : m_images) {
        std::vector<uint8_t> bytes;
        if (!Encode(image, bytes, error))
            return false;
        std::string path = plat::JoinPath(folder, image.name);
        if (!plat::WriteFileAtomic(path, bytes.data(), bytes.size()))
            return Fail(error, image.header, "cannot write " + path);
    }
    return true;
}

}  // namespace skin
