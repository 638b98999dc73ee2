// The phonetic (Zhuyin) input method engine: the keys of the standard phonetic keyboard go in,
// the text being composed, the candidates for it and the text given up come out. Built on
// libchewing and its dictionary; nothing the user picks is written to disk, so a run never
// leaves a half-written phrase file behind when the power goes.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace plat {

class PhoneticEngine {
public:
    PhoneticEngine();
    ~PhoneticEngine();
    PhoneticEngine(const PhoneticEngine&) = delete;
    PhoneticEngine& operator=(const PhoneticEngine&) = delete;

    // Starts the engine on the system's dictionary; false when the engine or its data is
    // missing (the engine then takes no key).
    bool Open();
    bool IsOpen() const { return m_ctx != nullptr; }

    enum class Key { Space, Backspace, Enter, Escape, Left, Right };
    // Each returns true when the engine took the key; a key it leaves alone (Backspace with
    // nothing composed, say) is the caller's to handle.
    bool Press(Key key);
    // A key of the standard phonetic keyboard, named by the character it has on the US keys
    // ('5' is ㄓ, 'j' is ㄨ, '6' the second tone).
    bool Type(char usKey);

    // True while anything is composed (converted characters or an unfinished syllable).
    bool IsComposing() const { return !m_preedit.empty(); }
    // The converted characters with the unfinished syllable at the cursor, and the cursor in
    // UTF-16 units.
    const std::u16string& Preedit() const { return m_preedit; }
    size_t PreeditCursor() const { return m_cursor; }
    // Text given up since the last call.
    std::u16string TakeCommitted();

    // Candidates for the phrase that ends at the cursor: the longest phrases first, then the
    // shorter ones down to the single character. Empty while a syllable is unfinished.
    const std::vector<std::u16string>& Candidates() const { return m_candidates; }
    // Puts candidate `index` in place of its phrase and gives up the whole pre-edit.
    bool Choose(size_t index);

    // The end of the composition as a change of focus ends it: the converted characters are
    // given up, an unfinished syllable is dropped.
    void Complete();
    // Drops everything composed.
    void Reset();

private:
    void Collect();
    void Refresh();

    struct Context;
    std::unique_ptr<Context> m_ctx;
    std::u16string m_preedit;
    size_t m_cursor = 0;
    std::u16string m_committed;
    std::vector<std::u16string> m_candidates;
    // Where each candidate lies in the engine: (list, index in the list).
    std::vector<std::pair<int, int>> m_where;
};

}  // namespace plat
