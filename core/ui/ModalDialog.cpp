#include "core/ui/ModalDialog.h"

#include <vector>

CModalDialog::CModalDialog(int widthDlu, int heightDlu, plat::ui::WindowId parent)
    : m_hParent(parent), m_iWidth(DluToPixelsX(widthDlu)), m_iHeight(DluToPixelsY(heightDlu)) {}

CModalDialog::~CModalDialog() {
    Destroy();
}

namespace {

// Rounded as the framework's MulDiv rounds: halves away from zero.
int MulDiv(int value, int numerator, int denominator) {
    long long v = static_cast<long long>(value) * numerator;
    long long half = denominator / 2;
    return static_cast<int>(v >= 0 ? (v + half) / denominator : (v - half) / denominator);
}

}  // namespace

int CModalDialog::DluToPixelsX(int dlu) {
    return MulDiv(dlu, 6, 4);
}

int CModalDialog::DluToPixelsY(int dlu) {
    return MulDiv(dlu, 13, 8);
}

plat::Rect CModalDialog::DluRect(int x, int y, int w, int h) {
    return plat::Rect::FromXYWH(DluToPixelsX(x), DluToPixelsY(y), DluToPixelsX(w), DluToPixelsY(h));
}

std::u16string CModalDialog::WrapText(const plat::Font& font, std::u16string_view text, int width) {
    auto fits = [&](std::u16string_view line) {
        return plat::MeasureText(font, line, plat::kTextSingleLine).x <= width;
    };
    std::u16string out;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find_first_of(u"\r\n", start);
        std::u16string_view paragraph = text.substr(
            start, end == std::u16string_view::npos ? text.size() - start : end - start);
        if (start > 0)
            out += u"\r\n";
        std::u16string line;
        size_t pos = 0;
        while (pos < paragraph.size()) {
            size_t blank = paragraph.find(u' ', pos);
            std::u16string_view word = paragraph.substr(
                pos, blank == std::u16string_view::npos ? paragraph.size() - pos : blank - pos);
            std::u16string candidate =
                line.empty() ? std::u16string(word) : line + u" " + std::u16string(word);
            if (fits(candidate)) {
                line = candidate;
            } else {
                if (!line.empty()) {
                    out += line + u"\r\n";
                    line.clear();
                }
                // A word wider than the line is cut where it must be.
                std::u16string rest(word);
                while (!rest.empty() && !fits(rest)) {
                    size_t n = rest.size() - 1;
                    while (n > 1 && !fits(std::u16string_view(rest).substr(0, n)))
                        --n;
                    out += rest.substr(0, n) + u"\r\n";
                    rest.erase(0, n);
                }
                line = rest;
            }
            pos = blank == std::u16string_view::npos ? paragraph.size() : blank + 1;
        }
        out += line;
        if (end == std::u16string_view::npos)
            break;
        // CR LF is one line end.
        start =
            end + ((text[end] == u'\r' && end + 1 < text.size() && text[end + 1] == u'\n') ? 2 : 1);
    }
    return out;
}

int CModalDialog::DoModal() {
    int result = IDCANCEL;
    // On the user-interface thread this is a direct call; a worker waits here for the result.
    if (!plat::ui::RunOnUiThread([&] { result = RunHere(); }))
        return IDCANCEL;
    return result;
}

int CModalDialog::RunHere() {
    plat::Rect over = plat::ui::GetWindowRect(m_hParent);
    if (over.IsEmpty()) {
        std::vector<plat::Rect> screens = plat::ui::Screens();
        over = screens.empty() ? plat::Rect{0, 0, 800, 480} : screens[0];
    }
    plat::ui::CreateParams params;
    params.rect =
        plat::Rect::FromXYWH(over.left + (over.Width() - m_iWidth) / 2,
                             over.top + (over.Height() - m_iHeight) / 2, m_iWidth, m_iHeight);
    params.visible = true;
    params.topMost = true;
    if (!Create(params))
        return IDCANCEL;
    int result = IDCANCEL;
    {
        // A box holds its owner (a seat): no pen until it is answered; the other seat goes on.
        const plat::ui::OwnerHold hold(m_bHoldsOwner ? m_hParent : plat::ui::kNoWindow);
        if (OnInitDialog())
            result = plat::ui::RunModalLoop(Id());
        OnEndDialog();
    }
    Destroy();
    return result;
}

void CModalDialog::EndDialog(int result) {
    plat::ui::EndModal(Id(), result);
}

bool CModalDialog::OnInitDialog() {
    return true;
}

void CModalDialog::OnEndDialog() {}

void CModalDialog::OnClose() {
    EndDialog(IDCANCEL);
}
