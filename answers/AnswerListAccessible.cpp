#include "answers/AnswerListAccessible.h"

#include <algorithm>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "model/Codepage.h"
#include "platform/Win32Util.h"

namespace {

HRESULT ReturnText(const std::wstring& text, BSTR* out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (text.empty()) return S_FALSE;
    *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

void SetLong(VARIANT* out, LONG value) {
    VariantInit(out);
    out->vt = VT_I4;
    out->lVal = value;
}

// The selected answers of a multiple choice, as the reader walks them.
class TChildEnum final : public IEnumVARIANT {
public:
    explicit TChildEnum(std::vector<LONG> ids, ULONG next = 0) : ids_(std::move(ids)), next_(next) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (object == nullptr) return E_POINTER;
        if (riid == __uuidof(IUnknown) || riid == __uuidof(IEnumVARIANT)) {
            *object = static_cast<IEnumVARIANT*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = InterlockedDecrement(&refs_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }
    HRESULT STDMETHODCALLTYPE Next(ULONG count, VARIANT* out, ULONG* fetched) override {
        if (out == nullptr) return E_POINTER;
        ULONG n = 0;
        for (; n < count && next_ < ids_.size(); ++n, ++next_) SetLong(&out[n], ids_[next_]);
        if (fetched != nullptr) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
        next_ = std::min<ULONG>(static_cast<ULONG>(ids_.size()), next_ + count);
        return next_ < ids_.size() ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reset() override {
        next_ = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumVARIANT** out) override {
        if (out == nullptr) return E_POINTER;
        *out = new (std::nothrow) TChildEnum(ids_, next_);
        return *out != nullptr ? S_OK : E_OUTOFMEMORY;
    }

private:
    ~TChildEnum() = default;
    LONG refs_ = 1;
    std::vector<LONG> ids_;
    ULONG next_;
};

}  // namespace

TfrAnswersList::TAccessible::TAccessible(TfrAnswersList* list) : list_(list) {}

TfrAnswersList::TAccessible::~TAccessible() {
    if (standard_ != nullptr) standard_->Release();
}

void TfrAnswersList::TAccessible::Disconnect() {
    list_ = nullptr;
    if (standard_ != nullptr) standard_->Release();
    standard_ = nullptr;
}

IAccessible* TfrAnswersList::TAccessible::Standard() {
    if (standard_ == nullptr && list_ != nullptr && list_->Handle() != nullptr) {
        void* object = nullptr;
        if (SUCCEEDED(CreateStdAccessibleObject(list_->Handle(), OBJID_CLIENT, __uuidof(IAccessible), &object)))
            standard_ = static_cast<IAccessible*>(object);
    }
    return standard_;
}

int TfrAnswersList::TAccessible::PositionOf(const VARIANT& child) const {
    if (child.vt != VT_I4) return -2;
    if (child.lVal == CHILDID_SELF) return -1;
    if (child.lVal < 1 || child.lVal > list_->Count()) return -2;
    return static_cast<int>(child.lVal) - 1;
}

HRESULT TfrAnswersList::TAccessible::QueryInterface(REFIID riid, void** object) {
    if (object == nullptr) return E_POINTER;
    if (riid == __uuidof(IUnknown) || riid == __uuidof(IDispatch) || riid == __uuidof(IAccessible)) {
        *object = static_cast<IAccessible*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG TfrAnswersList::TAccessible::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }

ULONG TfrAnswersList::TAccessible::Release() {
    const LONG left = InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
}

HRESULT TfrAnswersList::TAccessible::GetTypeInfoCount(UINT* count) {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT TfrAnswersList::TAccessible::GetTypeInfo(UINT, LCID, ITypeInfo**) { return E_NOTIMPL; }

HRESULT TfrAnswersList::TAccessible::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }

HRESULT TfrAnswersList::TAccessible::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) {
    return E_NOTIMPL;
}

HRESULT TfrAnswersList::TAccessible::get_accParent(IDispatch** parent) {
    if (parent == nullptr) return E_POINTER;
    *parent = nullptr;
    if (list_ == nullptr) return RPC_E_DISCONNECTED;
    IAccessible* standard = Standard();
    return standard != nullptr ? standard->get_accParent(parent) : S_FALSE;
}

HRESULT TfrAnswersList::TAccessible::get_accChildCount(long* count) {
    if (count == nullptr) return E_POINTER;
    if (list_ == nullptr) return RPC_E_DISCONNECTED;
    *count = list_->Count();
    return S_OK;
}

HRESULT TfrAnswersList::TAccessible::get_accChild(VARIANT child, IDispatch** dispatch) {
    if (dispatch == nullptr) return E_POINTER;
    *dispatch = nullptr;
    if (list_ == nullptr) return RPC_E_DISCONNECTED;
    // The answers are simple elements, reached through their ids.
    return PositionOf(child) >= 0 ? S_FALSE : E_INVALIDARG;
}

HRESULT TfrAnswersList::TAccessible::get_accName(VARIANT child, BSTR* name) {
    if (name == nullptr) return E_POINTER;
    *name = nullptr;
    if (list_ == nullptr) return RPC_E_DISCONNECTED;
    const int position = PositionOf(child);
    if (position == -2) return E_INVALIDARG;
    if (position == -1) return ReturnText(list_->AccessibleName, name);
    const std::string& text = list_->Model.Entries()[static_cast<size_t>(position)].Text;
    // An answer that is only a picture still has a name to be chosen by.
    return ReturnText(text.empty() ? L"Ответ " + std::to_wstring(position + 1) : Wide(text), name);
}

HRESULT TfrAnswersList::TAccessible::get_accValue(VARIANT, BSTR* value) {
    if (value == nullptr) return E_POINTER;
    *value = nullptr;
    return list_ == nullptr ? RPC_E_DISCONNECTED : DISP_E_MEMBERNOTFOUND;
}

HRESULT TfrAnswersList::TAccessible::get_accDescription(VARIANT child, BSTR* description) {
    if (description == nullptr) return E_POINTER;
    *description = nullptr;
    if (list_ == nullptr) return RPC_E_DISCONNECTED;
    const int position = PositionOf(child);
    if (position == -2) return E_INVALIDARG;
    if (position == -1 || list_->Model.Mode != lmOrdering) return S_FALSE;
    return ReturnText(L"Место " + std::to_wstring(position + 1) + L" из " + std::to_wstring(list_->Count()),
                      description);
}

HRESULT TfrAnswersList::TAccessible::get_accRole(VARIANT child, VARIANT* role) {
    if (role == nullptr) return E_POINTER;
    VariantInit(role);
    if (list_ == nullptr) return RPC_E_DISCONNECTED;
    const int position = PositionOf(child);
    if (position == -2) return E_INVALIDARG;
    if (position == -1) {
        SetLong(role, ROLE_SYSTEM_LIST);
    } else if (list_->Model.Mode == lmSingle) {
        SetLong(role, ROLE_SYSTEM_RADIOBUTTON);
    } else if (list_->Model.Mode == lmMultiple) {
        SetLong(role, ROLE_SYSTEM_CHECKBUTTON);
    } else {
        SetLong(role, ROLE_SYSTEM_LISTITEM);
    }
    return S_OK;
}

HRESULT TfrAnswersList::TAccessible::get_accState(VARIANT child, VARIANT* state) {
    if (state == nullptr) return E_POINTER;
    VariantInit(state);
    if (list_ == nullptr) return RPC_E_DISCONNECTED;
    const int position = PositionOf(child);
    if (position == -2) return E_INVALIDARG;
    HWND hwnd = list_->Handle();
    const bool hasFocus = GetFocus() == hwnd;
    LONG flags = 0;
    if (!IsWindowVisible(hwnd)) flags |= STATE_SYSTEM_INVISIBLE;
    if (position == -1) {
        flags |= STATE_SYSTEM_FOCUSABLE;
        if (hasFocus && list_->focused_ < 0) flags |= STATE_SYSTEM_FOCUSED;
        if (list_->Model.Locked) flags |= STATE_SYSTEM_READONLY;
        SetLong(state, flags);
        return S_OK;
    }
    const TAnswerEntry& entry = list_->Model.Entries()[static_cast<size_t>(position)];
    if (list_->Model.Locked) {
        flags |= STATE_SYSTEM_READONLY;
    } else {
        flags |= STATE_SYSTEM_FOCUSABLE;
        if (list_->Model.Mode != lmOrdering) flags |= STATE_SYSTEM_SELECTABLE;
        if (list_->Model.Mode == lmMultiple) flags |= STATE_SYSTEM_MULTISELECTABLE;
    }
    if (entry.Selected && list_->Model.Mode != lmOrdering) flags |= STATE_SYSTEM_CHECKED | STATE_SYSTEM_SELECTED;
    if (hasFocus && list_->focused_ == position) flags |= STATE_SYSTEM_FOCUSED;
    RECT client;
    GetClientRect(hwnd, &client);
    const RECT panel = list_->PanelRect(position);
    if (panel.bottom <= client.top || panel.top >= client.bottom) flags |= STATE_SYSTEM_OFFSCREEN;
    SetLong(state, flags);
    return S_OK;
}

HRESULT TfrAnswersList::TAccessible::get_accHelp(VARIANT, BSTR* help) {
    if (help == nullptr) return E_POINTER;
    *help = nullptr;
    return list_ == nullptr ? RPC_E_DISCONNECTED : S_FALSE;
}

HRESULT TfrAnswersList::TAccessible::get_accHelpTopic(BSTR* file, VARIANT, long* topic) {
    if (file != nullptr) *file = nullptr;
    if (topic != nullptr) *topic = 0;
    return list_ == nullptr ? RPC_E_DISCONNECTED : S_FALSE;
}

HRESULT TfrAnswersList::TAccessible::get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) {
    if (shortcut == nullptr) return E_POINTER;
    *shortcut = nullptr;
    if (list_ == nullptr) return RPC_E_DISCONNECTED;
    const int position = PositionOf(child);
    if (position == -2) return E_INVALIDARG;
    if (position < 0 || position >= 9 || list_->Model.Locked) return S_FALSE;
    return ReturnText(std::to_wstring(position + 1), shortcut);
}

HRESULT TfrAnswersList::TAccessible::get_accFocus(VARIANT* child) {
    if (child == nullptr) return E_POINTER;
    VariantInit(child);
    if (list_ == nullptr) return RPC_E_DISCONNECTED;
    if (GetFocus() != list_->Handle()) return S_FALSE;
    SetLong(child, list_->focused_ >= 0 ? list_->focused_ + 1 : CHILDID_SELF);
    return S_OK;
}

HRESULT TfrAnswersList::TAccessible::get_accSelection(VARIANT* children) {
    if (children == nullptr) return E_POINTER;
    VariantInit(children);
    if (list_ == nullptr) return RPC_E_DISCONNECTED;
    if (list_->Model.Mode == lmOrdering) return S_FALSE;
    std::vector<LONG> ids;
    const std::vector<TAnswerEntry>& entries = list_->Model.Entries();
    for (size_t i = 0; i < entries.size(); ++i)
        if (entries[i].Selected) ids.push_back(static_cast<LONG>(i) + 1);
    if (ids.empty()) return S_FALSE;
    if (ids.size() == 1) {
        SetLong(children, ids.front());
        return S_OK;
    }
    auto* selection = new (std::nothrow) TChildEnum(std::move(ids));
    if (selection == nullptr) return E_OUTOFMEMORY;
    children->vt = VT_UNKNOWN;
    children->punkVal = selection;
    return S_OK;
}

HRESULT TfrAnswersList::TAccessible::get_accDefaultAction(VARIANT child, BSTR* action) {
    if (action == nullptr) return E_POINTER;
    *action = nullptr;
    if (list_ == nullptr) return RPC_E_DISCONNECTED;
    const int position = PositionOf(child);
    if (position == -2) return E_INVALIDARG;
    if (position < 0 || list_->Model.Locked) return S_FALSE;
    const bool selected = list_->Model.Entries()[static_cast<size_t>(position)].Selected;
    switch (list_->Model.Mode) {
    case lmSingle:
        return ReturnText(L"Выбрать", action);
    case lmMultiple:
        return ReturnText(selected ? L"Снять отметку" : L"Отметить", action);
    default:
        return S_FALSE;
    }
}

HRESULT TfrAnswersList::TAccessible::accSelect(long flags, VARIANT child) {
    if (list_ == nullptr) return RPC_E_DISCONNECTED;
    const int position = PositionOf(child);
    if (position < 0) return E_INVALIDARG;
    if (list_->Model.Locked) return S_FALSE;
    try {
        if ((flags & SELFLAG_TAKEFOCUS) != 0) list_->FocusAnswer(position);
        const bool selected = list_->Model.Entries()[static_cast<size_t>(position)].Selected;
        const bool wanted = (flags & (SELFLAG_TAKESELECTION | SELFLAG_ADDSELECTION)) != 0;
        const bool unwanted = (flags & SELFLAG_REMOVESELECTION) != 0 && list_->Model.Mode == lmMultiple;
        if ((wanted && !selected) || (unwanted && selected)) list_->ChooseAnswer(position);
    } catch (...) {
        return E_FAIL;
    }
    return S_OK;
}

HRESULT TfrAnswersList::TAccessible::accLocation(long* left, long* top, long* width, long* height, VARIANT child) {
    if (left == nullptr || top == nullptr || width == nullptr || height == nullptr) return E_POINTER;
    *left = *top = *width = *height = 0;
    if (list_ == nullptr) return RPC_E_DISCONNECTED;
    const int position = PositionOf(child);
    if (position == -2) return E_INVALIDARG;
    if (position == -1) {
        RECT rc;
        GetWindowRect(list_->Handle(), &rc);
        *left = rc.left;
        *top = rc.top;
        *width = rc.right - rc.left;
        *height = rc.bottom - rc.top;
        return S_OK;
    }
    RECT rc = list_->PanelRect(position);
    MapWindowPoints(list_->Handle(), nullptr, reinterpret_cast<POINT*>(&rc), 2);
    *left = rc.left;
    *top = rc.top;
    *width = rc.right - rc.left;
    *height = rc.bottom - rc.top;
    return S_OK;
}

HRESULT TfrAnswersList::TAccessible::accNavigate(long direction, VARIANT start, VARIANT* end) {
    if (end == nullptr) return E_POINTER;
    VariantInit(end);
    if (list_ == nullptr) return RPC_E_DISCONNECTED;
    const int position = PositionOf(start);
    if (position == -2) return E_INVALIDARG;
    const int count = list_->Count();
    int target = -1;
    if (position == -1) {
        if (direction == NAVDIR_FIRSTCHILD && count > 0) target = 0;
        if (direction == NAVDIR_LASTCHILD && count > 0) target = count - 1;
        if (target < 0) {
            // Beside the list: the system knows its siblings.
            IAccessible* standard = Standard();
            return standard != nullptr ? standard->accNavigate(direction, start, end) : S_FALSE;
        }
    } else if (direction == NAVDIR_NEXT || direction == NAVDIR_DOWN) {
        target = position + 1;
    } else if (direction == NAVDIR_PREVIOUS || direction == NAVDIR_UP) {
        target = position - 1;
    }
    if (target < 0 || target >= count) return S_FALSE;
    SetLong(end, target + 1);
    return S_OK;
}

HRESULT TfrAnswersList::TAccessible::accHitTest(long x, long y, VARIANT* child) {
    if (child == nullptr) return E_POINTER;
    VariantInit(child);
    if (list_ == nullptr) return RPC_E_DISCONNECTED;
    POINT at = {x, y};
    ScreenToClient(list_->Handle(), &at);
    RECT client;
    GetClientRect(list_->Handle(), &client);
    if (!PtInRect(&client, at)) return S_FALSE;
    const int position = list_->HitTest(at);
    SetLong(child, position >= 0 ? position + 1 : CHILDID_SELF);
    return S_OK;
}

HRESULT TfrAnswersList::TAccessible::accDoDefaultAction(VARIANT child) {
    if (list_ == nullptr) return RPC_E_DISCONNECTED;
    const int position = PositionOf(child);
    if (position < 0) return E_INVALIDARG;
    if (list_->Model.Locked || list_->Model.Mode == lmOrdering) return DISP_E_MEMBERNOTFOUND;
    try {
        list_->ChooseAnswer(position);
    } catch (...) {
        return E_FAIL;
    }
    return S_OK;
}

HRESULT TfrAnswersList::TAccessible::put_accName(VARIANT, BSTR) { return E_NOTIMPL; }

HRESULT TfrAnswersList::TAccessible::put_accValue(VARIANT, BSTR) { return E_NOTIMPL; }
