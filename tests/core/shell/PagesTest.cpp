// The pages built into the program, as the start-up makes them and as tests stand in for them.
#include <gtest/gtest.h>

#include "core/ui/AppFactory.h"
#include "core/ui/AppType.h"
#include "tests/harness/HeadUnit.h"
#include "tests/harness/TestPages.h"

using harness::HeadUnit;
using harness::TestPageKinds;

namespace {

std::unique_ptr<CVelkoraAppDlg> NoMemory() {
    return nullptr;
}

// Registers `create` for a kind or own type until the object goes.
class Substitute {
public:
    Substitute(int kind, int appType, PFN_CREATE_APPLICATION create)
        : m_kind(kind), m_appType(appType) {
        m_old = Own() ? OwnPageDlgMaker(appType) : ApplicationDlgMaker(kind);
        Set(create);
    }
    ~Substitute() { Set(m_old); }

private:
    bool Own() const { return m_kind == APPKIND_OWN; }
    void Set(PFN_CREATE_APPLICATION create) {
        if (Own())
            RegisterOwnPageDlg(m_appType, create);
        else
            RegisterApplicationDlg(m_kind, create);
    }
    int m_kind;
    int m_appType;
    PFN_CREATE_APPLICATION m_old;
};

}  // namespace

TEST(BuiltPages, APageWithNoMakerOrThatCannotBeMadeEndsTheStart) {
    // A factory kind and a page the main dialog makes itself, each with no maker or failing.
    for (PFN_CREATE_APPLICATION create : {&NoMemory, PFN_CREATE_APPLICATION{}}) {
        for (int kind : {static_cast<int>(APPKIND_RADIO), APPKIND_OWN}) {
            Substitute failing(kind, APPTYPE_ABOUT, create);
            HeadUnit unit;
            EXPECT_FALSE(unit.Start()) << kind;
            EXPECT_EQ(unit.StartStatus(), 1) << kind;
            auto boxes = unit.TakeBoxes();
            ASSERT_FALSE(boxes.empty()) << kind;
            EXPECT_EQ(boxes.back().text, u"Create Applications of Velkora Error.");
            EXPECT_EQ(boxes.back().caption, u"ERROR");
            EXPECT_NE(unit.Log().find("cannot be made"), std::string::npos) << kind;
        }
    }
}

TEST(BuiltPages, TheRealMakersAreBackAfterTestsStandInForThem) {
    {
        TestPageKinds all{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
        for (size_t i = 0; i < g_nBuiltPages; ++i) {
            if (g_BuiltPages[i].kind != APPKIND_OWN) {
                EXPECT_NE(ApplicationDlgMaker(g_BuiltPages[i].kind), g_BuiltPages[i].create)
                    << "kind " << g_BuiltPages[i].kind;
            }
        }
        // Nested stand-ins give back the outer ones, not the real pages.
        PFN_CREATE_APPLICATION outer = ApplicationDlgMaker(APPKIND_KB);
        { TestPageKinds inner{APPKIND_KB}; }
        EXPECT_EQ(ApplicationDlgMaker(APPKIND_KB), outer);
    }
    size_t kinds = 0;
    for (size_t i = 0; i < g_nBuiltPages; ++i) {
        const PAGE_MAKER& m = g_BuiltPages[i];
        if (m.kind == APPKIND_OWN) {
            EXPECT_EQ(OwnPageDlgMaker(m.appType), m.create) << "type " << m.appType;
        } else {
            EXPECT_EQ(ApplicationDlgMaker(m.kind), m.create) << "kind " << m.kind;
            ++kinds;
        }
    }
    EXPECT_GE(kinds, 1u);
}
