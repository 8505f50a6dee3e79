// What a screen reader reads of the answers: the list's accessible object with its answers as
// children, the events that tell of a change, and the texts of the question, hint and verdict.
#include <windows.h>
#include <oleacc.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "answers/AnswersFormUnit.h"
#include "answers/AnswersFrameUnit.h"
#include "answers/RightAnswerFormUnit.h"
#include "model/Codepage.h"
#include "platform/OleObject.h"
#include "platform/Win32Util.h"
#include "tests/win/WinTestUtil.h"

namespace {

constexpr wchar_t kParentClass[] = L"AccessibleTestParent";

VARIANT Child(LONG id) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = id;
    return v;
}

std::wstring Text(BSTR text) {
    std::wstring value = text != nullptr ? std::wstring(text, SysStringLen(text)) : std::wstring();
    SysFreeString(text);
    return value;
}

// The accessible object of a window, as a reader gets it.
struct TAccessibleRef {
    IAccessible* Object = nullptr;
    explicit TAccessibleRef(HWND hwnd) {
        void* object = nullptr;
        if (SUCCEEDED(AccessibleObjectFromWindow(hwnd, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible), &object)))
            Object = static_cast<IAccessible*>(object);
    }
    ~TAccessibleRef() {
        if (Object != nullptr) Object->Release();
    }
    TAccessibleRef(const TAccessibleRef&) = delete;
    TAccessibleRef& operator=(const TAccessibleRef&) = delete;

    std::wstring Name(LONG id) const {
        BSTR name = nullptr;
        Object->get_accName(Child(id), &name);
        return Text(name);
    }
    std::wstring Description(LONG id) const {
        BSTR text = nullptr;
        Object->get_accDescription(Child(id), &text);
        return Text(text);
    }
    LONG Role(LONG id) const {
        VARIANT role;
        VariantInit(&role);
        Object->get_accRole(Child(id), &role);
        return role.vt == VT_I4 ? role.lVal : -1;
    }
    LONG State(LONG id) const {
        VARIANT state;
        VariantInit(&state);
        Object->get_accState(Child(id), &state);
        return state.vt == VT_I4 ? state.lVal : -1;
    }
    long ChildCount() const {
        long count = -1;
        Object->get_accChildCount(&count);
        return count;
    }
};

// The events the list raises, gathered as an out-of-context hook gets them.
std::vector<std::pair<DWORD, LONG>>* g_events = nullptr;
HWND g_watched = nullptr;

void CALLBACK OnEvent(HWINEVENTHOOK, DWORD event, HWND hwnd, LONG object, LONG child, DWORD, DWORD) {
    if (g_events != nullptr && hwnd == g_watched && object == OBJID_CLIENT) g_events->push_back({event, child});
}

class AccessibleTest : public ::testing::Test {
protected:
    TOwned<TfrAnswersList> list;
    HWND parent = nullptr;

    void SetUp() override {
        ASSERT_TRUE(EnsureOle());
        parent = CreateTestParent(kParentClass, L"parent", 400, 300);
        ASSERT_NE(parent, nullptr);
        ASSERT_TRUE(list.Create(parent, 0, 0, 380, 300));
        list.FontSize = 12;
    }
    void TearDown() override {
        if (parent != nullptr) DestroyWindow(parent);
    }
    void Fill(uint8_t mode, const std::vector<const char*>& texts) {
        list.Clear();
        list.Model.Mode = mode;
        list.BeginUpdate();
        for (const char* text : texts) list.AddAnswer(Utf8ToCp1251(text), akNone, "", TAttachOptions(), 0);
        list.EndUpdate();
    }
};

}  // namespace

// The list and its answers: count, names as shown, the role of each mode, checked and focused
// states before and after a choice, and the place of an ordering answer.
TEST_F(AccessibleTest, TheAnswersAreChildrenWithTheirTextRoleAndState) {
    struct TCase {
        uint8_t mode;
        LONG role;
    } cases[] = {{lmSingle, ROLE_SYSTEM_RADIOBUTTON}, {lmMultiple, ROLE_SYSTEM_CHECKBUTTON},
                 {lmOrdering, ROLE_SYSTEM_LISTITEM}};
    for (const TCase& c : cases) {
        Fill(c.mode, {"Маятник", "Пружина   с грузом", ""});
        TAccessibleRef acc(list.Handle());
        ASSERT_NE(acc.Object, nullptr);
        EXPECT_EQ(acc.ChildCount(), 3);
        EXPECT_EQ(acc.Role(CHILDID_SELF), ROLE_SYSTEM_LIST);
        EXPECT_EQ(acc.Name(CHILDID_SELF), L"Ответы");
        EXPECT_EQ(acc.Name(1), L"Маятник");
        EXPECT_EQ(acc.Name(2), L"Пружина с грузом") << "as the panel shows it";
        EXPECT_EQ(acc.Name(3), L"Ответ 3") << "an answer without text still has a name";
        for (LONG id = 1; id <= 3; ++id) EXPECT_EQ(acc.Role(id), c.role) << int(c.mode);
        EXPECT_EQ(acc.State(1) & (STATE_SYSTEM_CHECKED | STATE_SYSTEM_FOCUSED), 0);

        list.FocusAnswer(1);
        SendMessageW(list.Handle(), WM_KEYDOWN, VK_SPACE, 0);
        const LONG second = acc.State(2);
        EXPECT_NE(second & STATE_SYSTEM_FOCUSED, 0) << int(c.mode);
        EXPECT_EQ(acc.State(1) & STATE_SYSTEM_FOCUSED, 0);
        if (c.mode == lmOrdering) {
            EXPECT_EQ(second & STATE_SYSTEM_CHECKED, 0);
            EXPECT_EQ(acc.Description(2), L"Место 2 из 3");
        } else {
            EXPECT_NE(second & STATE_SYSTEM_CHECKED, 0) << int(c.mode);
            EXPECT_NE(second & STATE_SYSTEM_SELECTABLE, 0);
            EXPECT_EQ(acc.Description(2), L"");
        }
        VARIANT focus;
        VariantInit(&focus);
        ASSERT_EQ(acc.Object->get_accFocus(&focus), S_OK);
        EXPECT_EQ(focus.vt, VT_I4);
        EXPECT_EQ(focus.lVal, 2);
        EXPECT_EQ(acc.Role(4), -1) << "no fourth child";
    }
}

// A reader can choose too: the default action and a selection request act as a click does.
TEST_F(AccessibleTest, AReaderChoosesAsAClickDoes) {
    Fill(lmMultiple, {"A", "B", "C"});
    std::vector<bool> notified;
    list.OnSelectionChange = [&](bool value) { notified.push_back(value); };
    TAccessibleRef acc(list.Handle());
    ASSERT_NE(acc.Object, nullptr);
    EXPECT_EQ(acc.Object->accDoDefaultAction(Child(3)), S_OK);
    EXPECT_EQ(acc.Object->accSelect(SELFLAG_TAKEFOCUS | SELFLAG_ADDSELECTION, Child(1)), S_OK);
    EXPECT_TRUE(list.Model.Entries()[0].Selected);
    EXPECT_TRUE(list.Model.Entries()[2].Selected);
    EXPECT_EQ(list.FocusedPosition(), 0);
    EXPECT_EQ(notified, (std::vector<bool>{true, true}));
    VARIANT selection;
    VariantInit(&selection);
    ASSERT_EQ(acc.Object->get_accSelection(&selection), S_OK);
    ASSERT_EQ(selection.vt, VT_UNKNOWN);
    IEnumVARIANT* items = nullptr;
    ASSERT_EQ(selection.punkVal->QueryInterface(__uuidof(IEnumVARIANT), reinterpret_cast<void**>(&items)), S_OK);
    VARIANT got[3];
    ULONG fetched = 0;
    EXPECT_EQ(items->Next(3, got, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 2u);
    EXPECT_EQ(got[0].lVal, 1);
    EXPECT_EQ(got[1].lVal, 3);
    items->Release();
    VariantClear(&selection);

    // The right-answer window's list is for reading only.
    list.Model.Locked = true;
    EXPECT_NE(acc.State(2) & STATE_SYSTEM_READONLY, 0);
    EXPECT_NE(acc.Object->accDoDefaultAction(Child(2)), S_OK);
    EXPECT_FALSE(list.Model.Entries()[1].Selected);
}

// A reader that keeps the object after the list is gone gets errors, not a crash.
TEST_F(AccessibleTest, AnObjectKeptAfterTheListIsGoneIsDisconnected) {
    Fill(lmSingle, {"A"});
    TAccessibleRef acc(list.Handle());
    ASSERT_NE(acc.Object, nullptr);
    DestroyWindow(parent);
    parent = nullptr;
    long count = 0;
    EXPECT_EQ(acc.Object->get_accChildCount(&count), RPC_E_DISCONNECTED);
    BSTR name = nullptr;
    EXPECT_EQ(acc.Object->get_accName(Child(1), &name), RPC_E_DISCONNECTED);
}

// Focus and choice are told to readers as the system's events.
TEST_F(AccessibleTest, FocusAndChoiceRaiseTheirEvents) {
    std::vector<std::pair<DWORD, LONG>> events;
    g_events = &events;
    g_watched = list.Handle();
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_MIN, EVENT_MAX, nullptr, OnEvent, GetCurrentProcessId(), 0,
                                         WINEVENT_OUTOFCONTEXT);
    ASSERT_NE(hook, nullptr);
    Fill(lmSingle, {"A", "B", "C"});
    list.FocusAnswer(0);
    SendMessageW(list.Handle(), WM_KEYDOWN, '3', 0);
    for (int i = 0; i < 20; ++i) {
        ProcessMessages();
        Sleep(10);
    }
    UnhookWinEvent(hook);
    g_events = nullptr;
    const auto seen = [&](DWORD event, LONG child) {
        for (const auto& e : events)
            if (e.first == event && e.second == child) return true;
        return false;
    };
    EXPECT_TRUE(seen(EVENT_OBJECT_REORDER, CHILDID_SELF)) << "the answers were refilled";
    EXPECT_TRUE(seen(EVENT_OBJECT_FOCUS, 1));
    EXPECT_TRUE(seen(EVENT_OBJECT_FOCUS, 3));
    EXPECT_TRUE(seen(EVENT_OBJECT_STATECHANGE, 3));
    EXPECT_TRUE(seen(EVENT_OBJECT_SELECTION, 3));
}
