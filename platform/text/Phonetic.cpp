#include "platform/text/Phonetic.h"

#include <chewing.h>

#include "platform/text/Text.h"

namespace plat {

namespace {

// More candidates than anyone pages through; keeps a one-symbol syllable's list bounded.
constexpr size_t kMaxCandidates = 400;
// Converted characters held before the oldest are given up on their own: what the edit box
// shows at once.
constexpr int kMaxPreedit = 12;

// UTF-16 units of the first `chars` code points of `s`.
size_t UnitsOf(const std::u16string& s, int chars) {
    size_t at = 0;
    for (int n = 0; n < chars && at < s.size(); ++n) {
        const bool pair = s[at] >= 0xD800 && s[at] <= 0xDBFF && at + 1 < s.size();
        at += pair ? 2 : 1;
    }
    return at;
}

std::u16string FromEngine(const char* s) {
    return s ? Utf8ToUtf16(s) : std::u16string();
}

}  // namespace

struct PhoneticEngine::Context {
    ChewingContext* ctx = nullptr;
    ~Context() {
        if (ctx)
            chewing_delete(ctx);
    }
};

PhoneticEngine::PhoneticEngine() = default;
PhoneticEngine::~PhoneticEngine() = default;

bool PhoneticEngine::Open() {
    if (m_ctx)
        return true;
    // The phrases the user picks live in memory only: the engine's own phrase file would be
    // written in place, which a car's sudden power loss can leave broken.
    ChewingContext* ctx = chewing_new2(nullptr, ":memory:", nullptr, nullptr);
    if (!ctx)
        return false;
    m_ctx = std::make_unique<Context>();
    m_ctx->ctx = ctx;
    chewing_set_KBType(ctx, chewing_KBStr2Num("KB_DEFAULT"));
    chewing_set_ChiEngMode(ctx, CHINESE_MODE);
    chewing_set_ShapeMode(ctx, HALFSHAPE_MODE);
    // Candidates are for the phrase just typed, which ends at the cursor.
    chewing_set_phraseChoiceRearward(ctx, 1);
    chewing_set_maxChiSymbolLen(ctx, kMaxPreedit);
    chewing_set_spaceAsSelection(ctx, 0);
    chewing_set_escCleanAllBuf(ctx, 0);
    Refresh();
    return true;
}

void PhoneticEngine::Collect() {
    ChewingContext* ctx = m_ctx->ctx;
    if (chewing_commit_Check(ctx))
        m_committed += FromEngine(chewing_commit_String_static(ctx));
}

void PhoneticEngine::Refresh() {
    m_preedit.clear();
    m_cursor = 0;
    m_candidates.clear();
    m_where.clear();
    if (!m_ctx)
        return;
    ChewingContext* ctx = m_ctx->ctx;
    m_preedit = FromEngine(chewing_buffer_String_static(ctx));
    const std::u16string syllable = FromEngine(chewing_bopomofo_String_static(ctx));
    m_cursor = UnitsOf(m_preedit, chewing_cursor_Current(ctx));
    m_preedit.insert(m_cursor, syllable);
    m_cursor += syllable.size();
    if (!syllable.empty() || m_preedit.empty())
        return;
    if (chewing_cand_open(ctx) != 0)
        return;
    chewing_cand_list_first(ctx);
    for (int list = 0; m_candidates.size() < kMaxCandidates; ++list) {
        const int n = chewing_cand_TotalChoice(ctx);
        for (int i = 0; i < n && m_candidates.size() < kMaxCandidates; ++i) {
            m_candidates.push_back(FromEngine(chewing_cand_string_by_index_static(ctx, i)));
            m_where.emplace_back(list, i);
        }
        if (!chewing_cand_list_has_next(ctx) || chewing_cand_list_next(ctx) != 0)
            break;
    }
    // Back to typing: the row on the page shows the candidates, the keys keep composing.
    chewing_cand_close(ctx);
}

bool PhoneticEngine::Press(Key key) {
    if (!m_ctx || !IsComposing())
        return false;
    ChewingContext* ctx = m_ctx->ctx;
    switch (key) {
        case Key::Space:
            chewing_handle_Space(ctx);
            break;
        case Key::Backspace:
            chewing_handle_Backspace(ctx);
            break;
        case Key::Enter:
            if (chewing_bopomofo_String_static(ctx)[0]) {
                // An unfinished syllable goes with the rest, as the user sees it.
                m_committed += m_preedit;
                chewing_clean_bopomofo_buf(ctx);
                chewing_clean_preedit_buf(ctx);
            } else {
                chewing_handle_Enter(ctx);
            }
            break;
        case Key::Escape:
            chewing_handle_Esc(ctx);
            break;
        case Key::Left:
            chewing_handle_Left(ctx);
            break;
        case Key::Right:
            chewing_handle_Right(ctx);
            break;
    }
    Collect();
    Refresh();
    return true;
}

bool PhoneticEngine::Type(char usKey) {
    if (!m_ctx)
        return false;
    ChewingContext* ctx = m_ctx->ctx;
    chewing_handle_Default(ctx, static_cast<unsigned char>(usKey));
    const bool ignored = chewing_keystroke_CheckIgnore(ctx) != 0;
    Collect();
    Refresh();
    return !ignored;
}

std::u16string PhoneticEngine::TakeCommitted() {
    std::u16string out;
    out.swap(m_committed);
    return out;
}

bool PhoneticEngine::Choose(size_t index) {
    if (!m_ctx || index >= m_where.size())
        return false;
    ChewingContext* ctx = m_ctx->ctx;
    const auto [list, item] = m_where[index];
    if (chewing_cand_open(ctx) != 0)
        return false;
    chewing_cand_list_first(ctx);
    for (int l = 0; l < list; ++l)
        chewing_cand_list_next(ctx);
    const bool chosen = chewing_cand_choose_by_index(ctx, item) == 0;
    chewing_cand_close(ctx);
    if (chosen && chewing_commit_preedit_buf(ctx) == 0)
        Collect();
    Refresh();
    return chosen;
}

void PhoneticEngine::Complete() {
    if (!m_ctx)
        return;
    ChewingContext* ctx = m_ctx->ctx;
    chewing_clean_bopomofo_buf(ctx);
    if (chewing_buffer_Check(ctx) && chewing_commit_preedit_buf(ctx) == 0)
        Collect();
    Refresh();
}

void PhoneticEngine::Reset() {
    if (!m_ctx)
        return;
    chewing_clean_bopomofo_buf(m_ctx->ctx);
    chewing_clean_preedit_buf(m_ctx->ctx);
    m_committed.clear();
    Refresh();
}

}  // namespace plat
