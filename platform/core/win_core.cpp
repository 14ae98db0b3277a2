// Windows, the message queue, timers, menus, accelerators and the small
// calls around them; independent of the backend.
#include "platform/core/win_core.h"
#include "platform/port/frame_pacing.h"

#include "platform/core/lasting.h"

#include <algorithm>
#include <cstring>
#include <strings.h>

#include "platform/dinput.h"

namespace {


bool SameName(const std::string& a, const char* b) { return b && strcasecmp(a.c_str(), b) == 0; }

void DropWindowObjects(WinState& state) {
    for (auto& w : state.windows)
        if (w->kind == WindowObject::Kind::TopLevel && w->native) Backend().DestroyNativeWindow(*w);
    state.windows.clear();
    state.liveWindows.clear();
}

WindowObject* NewWindow(WindowObject::Kind kind) {
    WinState& state = State();
    state.windows.push_back(std::make_unique<WindowObject>());
    WindowObject* w = state.windows.back().get();
    w->kind = kind;
    state.liveWindows.insert(w);
    return w;
}

void RemoveWindowObject(WindowObject* w) {
    WinState& state = State();
    state.liveWindows.erase(w);
    auto& windows = state.windows;
    windows.erase(std::remove_if(windows.begin(), windows.end(), [w](const auto& p) { return p.get() == w; }),
                  windows.end());
}

void ForgetMenuTree(MenuObject* menu) {
    State().liveMenus.erase(menu);
    for (auto& item : menu->items)
        if (item.popup) ForgetMenuTree(item.popup.get());
}

std::unique_ptr<MenuObject> BuildMenu(const std::vector<MenuItemTemplate>& items, MenuObject* parent) {
    auto menu = std::make_unique<MenuObject>();
    menu->parent = parent;
    State().liveMenus.insert(menu.get());
    for (const MenuItemTemplate& t : items) {
        MenuObject::Item item;
        item.text = t.text;
        item.id = t.id;
        item.flags = t.flags;
        if (!t.items.empty() || (t.flags & MF_POPUP)) {
            item.flags |= MF_POPUP;
            item.popup = BuildMenu(t.items, menu.get());
        }
        menu->items.push_back(std::move(item));
    }
    return menu;
}

MenuObject::Item* FindMenuItem(MenuObject* menu, UINT item, UINT flags) {
    if (!menu) return nullptr;
    if (flags & MF_BYPOSITION) return item < menu->items.size() ? &menu->items[item] : nullptr;
    for (auto& entry : menu->items) {
        if (entry.popup) {
            if (MenuObject::Item* found = FindMenuItem(entry.popup.get(), item, flags)) return found;
        } else if (!(entry.flags & MF_SEPARATOR) && entry.id == item) {
            return &entry;
        }
    }
    return nullptr;
}

void UpdateTimers(DWORD now) {
    for (Timer& t : State().timers) {
        auto late = static_cast<std::int32_t>(now - t.nextDue);
        if (late >= 0) {
            if (!t.pending) t.dueSince = t.nextDue;
            t.pending = true;
            // Expiries missed while the message was unread are lost, as on Windows.
            DWORD periods = static_cast<DWORD>(late) / t.period + 1;
            t.nextDue += periods * t.period;
        }
    }
}

bool InRange(UINT message, UINT filterMin, UINT filterMax) {
    if (filterMin == 0 && filterMax == 0) return true;
    return message >= filterMin && message <= filterMax;
}

MSG MakeMsg(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    MSG m{};
    m.hwnd = window;
    m.message = message;
    m.wParam = wParam;
    m.lParam = lParam;
    m.time = Backend().Now();
    return m;
}

}  // namespace

WinState& State() {
    static Lasting<WinState> state;
    return *state;
}

void DropWindowState() {
    WinState& state = State();
    DropWindowObjects(state);
    state.classes.clear();
    state.menus.clear();
    state.liveMenus.clear();
    state.accelerators.clear();
    state.queue.clear();
    state.timers.clear();
    state.quitPosted = false;
    state.quitCode = 0;
    state.modalStack.clear();
    state.padInput = false;
    ++state.activity;
}

WindowObject* WindowOf(HWND window) {
    if (!window) return nullptr;
    return State().liveWindows.count(window) ? window : nullptr;
}

MenuObject* MenuOf(HMENU menu) {
    if (!menu) return nullptr;
    return State().liveMenus.count(menu) ? menu : nullptr;
}

WindowObject* RootOf(WindowObject* window) {
    int guard = 0;
    while (window && window->kind != WindowObject::Kind::TopLevel && guard++ < 64) window = WindowOf(window->owner);
    return window;
}

// ---------------------------------------------------------------------------
// Instance, classes, windows

HINSTANCE GetModuleHandleA(LPCSTR) {
    static InstanceObject instance;
    return &instance;
}

ATOM RegisterClassExA(const WNDCLASSEXA* wc) {
    if (!wc || wc->cbSize != sizeof(WNDCLASSEXA) || !wc->lpfnWndProc || !wc->lpszClassName) return 0;
    if (!Backend().AllowRegisterClass()) return 0;
    WinState& state = State();
    for (const WindowClass& c : state.classes)
        if (SameName(c.name, wc->lpszClassName)) return 0;
    WindowClass c;
    c.name = wc->lpszClassName;
    c.style = wc->style;
    c.proc = wc->lpfnWndProc;
    c.instance = wc->hInstance;
    c.icon = wc->hIcon;
    c.smallIcon = wc->hIconSm;
    c.cursor = wc->hCursor;
    c.background = wc->hbrBackground;
    c.menuId = wc->lpszMenuName ? ResourceIdOf(wc->lpszMenuName) : -1;
    state.classes.push_back(c);
    return static_cast<ATOM>(0xC000 + state.classes.size() - 1);
}

BOOL UnregisterClassA(LPCSTR className, HINSTANCE) {
    auto& classes = State().classes;
    for (auto it = classes.begin(); it != classes.end(); ++it) {
        if (SameName(it->name, className)) {
            classes.erase(it);
            return TRUE;
        }
    }
    return FALSE;
}

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
    const WindowClass* wc = nullptr;
    for (const WindowClass& c : State().classes)
        if (SameName(c.name, className)) wc = &c;
    if (!wc) return nullptr;
    // Child windows are not made this way in this program.
    if (style & WS_CHILD) return nullptr;

    WindowObject* w = NewWindow(WindowObject::Kind::TopLevel);
    w->className = wc->name;
    w->text = windowName ? windowName : "";
    w->proc = wc->proc;
    w->style = style;
    w->exStyle = exStyle;
    w->owner = WindowOf(parent);
    w->icon = wc->icon ? wc->icon : wc->smallIcon;
    w->x = x;
    w->y = y;
    w->outerWidth = width == CW_USEDEFAULT ? 800 : std::max(width, 1);
    w->outerHeight = height == CW_USEDEFAULT ? 600 : std::max(height, 1);
    if (menu && MenuOf(menu))
        w->menu = menu;
    else if (!menu && wc->menuId >= 0)
        w->menu = LoadMenuA(wc->instance, MAKEINTRESOURCEA(wc->menuId));
    w->clientWidth = w->outerWidth;
    w->clientHeight = std::max(0, w->outerHeight - (w->menu ? Backend().MenuBarHeight() : 0));

    if (!Backend().CreateNativeWindow(*w)) {
        if (w->menu && !menu) DestroyMenu(w->menu);
        RemoveWindowObject(w);
        return nullptr;
    }

    CREATESTRUCTA create{};
    create.lpCreateParams = param;
    create.hInstance = instance;
    create.hMenu = w->menu;
    create.hwndParent = parent;
    create.cx = w->outerWidth;
    create.cy = w->outerHeight;
    create.x = x == CW_USEDEFAULT ? 0 : x;
    create.y = y == CW_USEDEFAULT ? 0 : y;
    create.style = static_cast<LONG>(style);
    create.lpszName = windowName;
    create.lpszClass = className;
    create.dwExStyle = exStyle;
    if (SendMessageA(w, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
        DestroyWindow(w);
        return nullptr;
    }
    return w;
}

void SetClientFromDrawable(WindowObject& w, int drawableWidth, int drawableHeight) {
    w.clientWidth = std::max(0, drawableWidth);
    // In full screen the picture takes the whole screen, and the menu bar
    // shows over it only when asked for.
    const bool menuBar = w.menu && !w.fullScreen;
    w.clientHeight = std::max(0, drawableHeight - (menuBar ? Backend().MenuBarHeight() : 0));
}

void SendSizeMessage(WindowObject& w, WPARAM type, int width, int height) {
    LPARAM size = MAKELPARAM(static_cast<unsigned>(width), static_cast<unsigned>(height));
    if (w.sizeSent && w.lastSizeType == type && w.lastSizeParam == size) return;
    w.sizeSent = true;
    w.lastSizeType = type;
    w.lastSizeParam = size;
    SendMessageA(&w, WM_SIZE, type, size);
}

BOOL ShowWindow(HWND window, int showCommand) {
    WindowObject* w = WindowOf(window);
    if (!w || w->kind != WindowObject::Kind::TopLevel) return FALSE;
    BOOL wasVisible = w->visible ? TRUE : FALSE;
    switch (showCommand) {
        case SW_HIDE:
            w->visible = false;
            Backend().ShowNativeWindow(*w, showCommand);
            break;
        case SW_MINIMIZE:
        case SW_SHOWMINIMIZED:
        case SW_SHOWMINNOACTIVE:
            w->visible = true;
            w->minimized = true;
            Backend().ShowNativeWindow(*w, showCommand);
            SendSizeMessage(*w, SIZE_MINIMIZED, 0, 0);
            break;
        default: {
            bool firstOrRestored = !w->visible || w->minimized || !w->sizeSent;
            w->visible = true;
            w->minimized = false;
            if (showCommand == SW_SHOWMAXIMIZED) w->maximized = true;
            if (showCommand == SW_RESTORE) w->maximized = false;
            Backend().ShowNativeWindow(*w, showCommand);
            if (!WindowOf(window)) return wasVisible;
            SendSizeMessage(*w, w->maximized ? SIZE_MAXIMIZED : SIZE_RESTORED, w->clientWidth, w->clientHeight);
            if (firstOrRestored && WindowOf(window)) {
                w->needsPaint = true;
                ++State().activity;
            }
            break;
        }
    }
    return wasVisible;
}

BOOL UpdateWindow(HWND window) {
    WindowObject* w = WindowOf(window);
    if (!w) return FALSE;
    if (w->needsPaint && w->visible) SendMessageA(w, WM_PAINT, 0, 0);
    return TRUE;
}

BOOL DestroyWindow(HWND window) {
    WindowObject* w = WindowOf(window);
    if (!w || w->kind != WindowObject::Kind::TopLevel || w->destroying) return FALSE;
    w->destroying = true;
    // As on Windows, the window is off the screen before WM_DESTROY arrives.
    if (w->visible) {
        w->visible = false;
        Backend().ShowNativeWindow(*w, SW_HIDE);
    }
    SendMessageA(w, WM_DESTROY, 0, 0);

    WinState& state = State();
    auto& timers = state.timers;
    timers.erase(std::remove_if(timers.begin(), timers.end(), [w](const Timer& t) { return t.window == w; }),
                 timers.end());
    auto& queue = state.queue;
    queue.erase(std::remove_if(queue.begin(), queue.end(), [w](const MSG& m) { return m.hwnd == w; }), queue.end());
    if (w->menu) DestroyMenu(w->menu);
    if (w->native) Backend().DestroyNativeWindow(*w);
    RemoveWindowObject(w);
    ++state.activity;
    return TRUE;
}

BOOL IsWindow(HWND window) { return WindowOf(window) ? TRUE : FALSE; }

BOOL IsWindowVisible(HWND window) {
    WindowObject* w = WindowOf(window);
    return w && w->visible ? TRUE : FALSE;
}

BOOL IsIconic(HWND window) {
    WindowObject* w = WindowOf(window);
    return w && w->minimized ? TRUE : FALSE;
}

BOOL EnableWindow(HWND window, BOOL enable) {
    WindowObject* w = WindowOf(window);
    if (!w) return FALSE;
    BOOL wasDisabled = w->disabledCount > 0 ? TRUE : FALSE;
    w->disabledCount = enable ? 0 : std::max(1, w->disabledCount);
    return wasDisabled;
}

BOOL IsWindowEnabled(HWND window) {
    WindowObject* w = WindowOf(window);
    return w && w->disabledCount == 0 ? TRUE : FALSE;
}

BOOL GetClientRect(HWND window, RECT* rect) {
    WindowObject* w = WindowOf(window);
    if (!w || !rect) return FALSE;
    rect->left = rect->top = 0;
    rect->right = w->minimized ? 0 : w->clientWidth;
    rect->bottom = w->minimized ? 0 : w->clientHeight;
    return TRUE;
}

BOOL SetWindowTextA(HWND window, LPCSTR text) {
    WindowObject* w = WindowOf(window);
    if (!w) return FALSE;
    if (w->kind == WindowObject::Kind::Control) {
        SendMessageA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
        return TRUE;
    }
    w->text = text ? text : "";
    if (w->kind == WindowObject::Kind::TopLevel) Backend().SetNativeTitle(*w);
    return TRUE;
}

int GetWindowTextA(HWND window, LPSTR buffer, int maxCount) {
    WindowObject* w = WindowOf(window);
    if (!w || !buffer || maxCount <= 0) return 0;
    if (w->kind == WindowObject::Kind::Control)
        return static_cast<int>(SendMessageA(window, WM_GETTEXT, static_cast<WPARAM>(maxCount),
                                             reinterpret_cast<LPARAM>(buffer)));
    size_t n = std::min(w->text.size(), static_cast<size_t>(maxCount - 1));
    std::memcpy(buffer, w->text.data(), n);
    buffer[n] = '\0';
    return static_cast<int>(n);
}

BOOL InvalidateRect(HWND window, const RECT*, BOOL) {
    if (!window) {
        for (auto& w : State().windows)
            if (w->kind == WindowObject::Kind::TopLevel) w->needsPaint = true;
        ++State().activity;
        return TRUE;
    }
    WindowObject* w = WindowOf(window);
    if (!w) return FALSE;
    w->needsPaint = true;
    ++State().activity;
    return TRUE;
}

BOOL ValidateRect(HWND window, const RECT* rect) {
    WindowObject* w = WindowOf(window);
    if (!w) return FALSE;
    // A part of the client area leaves the rest to be painted.
    bool whole = !rect || (rect->left <= 0 && rect->top <= 0 && rect->right >= w->clientWidth &&
                           rect->bottom >= w->clientHeight);
    if (whole) w->needsPaint = false;
    return TRUE;
}

// ---------------------------------------------------------------------------
// Messages

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM, LPARAM) {
    WindowObject* w = WindowOf(window);
    if (!w) return 0;
    switch (message) {
        case WM_CLOSE:
            DestroyWindow(window);
            return 0;
        case WM_PAINT:
            w->needsPaint = false;
            return 0;
        default:
            return 0;
    }
}

void PostToQueue(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    State().queue.push_back(MakeMsg(window, message, wParam, lParam));
    ++State().activity;
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (window && !WindowOf(window)) return FALSE;
    PostToQueue(window, message, wParam, lParam);
    return TRUE;
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowObject* w = WindowOf(window);
    if (!w) return 0;
    ++State().activity;
    switch (w->kind) {
        case WindowObject::Kind::Control:
            return ControlWindowProc(*w, message, wParam, lParam);
        case WindowObject::Kind::Dialog:
            return DialogWindowProc(*w, message, wParam, lParam);
        default:
            return w->proc ? w->proc(window, message, wParam, lParam) : 0;
    }
}

void PostQuitMessage(int exitCode) {
    State().quitPosted = true;
    State().quitCode = exitCode;
    ++State().activity;
}

bool NextMessage(MSG* msg, HWND filter, UINT filterMin, UINT filterMax, bool remove) {
    WinState& state = State();
    for (auto it = state.queue.begin(); it != state.queue.end(); ++it) {
        if ((filter && it->hwnd != filter) || !InRange(it->message, filterMin, filterMax)) continue;
        *msg = *it;
        if (remove) state.queue.erase(it);
        return true;
    }
    if (state.quitPosted) {
        *msg = MakeMsg(nullptr, WM_QUIT, static_cast<WPARAM>(state.quitCode), 0);
        if (remove) state.quitPosted = false;
        return true;
    }
    if (InRange(WM_PAINT, filterMin, filterMax)) {
        for (auto& w : state.windows) {
            if (w->kind != WindowObject::Kind::TopLevel || !w->needsPaint || !w->visible) continue;
            if (filter && w.get() != filter) continue;
            // WM_PAINT stays due until the window is validated.
            *msg = MakeMsg(w.get(), WM_PAINT, 0, 0);
            return true;
        }
    }
    if (InRange(WM_TIMER, filterMin, filterMax) && !state.timers.empty()) {
        UpdateTimers(Backend().Now());
        // The one pending longest first: a short timer always due again
        // (the game's tick behind slow frames) must not starve the others.
        Timer* first = nullptr;
        for (Timer& t : state.timers) {
            if (!t.pending || (filter && t.window != filter)) continue;
            if (!first || static_cast<std::int32_t>(t.dueSince - first->dueSince) < 0) first = &t;
        }
        if (first) {
            *msg = MakeMsg(first->window, WM_TIMER, first->id, reinterpret_cast<LPARAM>(first->proc));
            if (remove) first->pending = false;
            return true;
        }
    }
    return false;
}

DWORD TimeToNextTimer() {
    WinState& state = State();
    if (state.timers.empty()) return kWaitForever;
    DWORD now = Backend().Now();
    DWORD best = kWaitForever;
    for (const Timer& t : state.timers) {
        if (t.pending) return 0;
        auto left = static_cast<std::int32_t>(t.nextDue - now);
        if (left <= 0) return 0;
        best = std::min(best, static_cast<DWORD>(left));
    }
    return best;
}

BOOL PeekMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags) {
    if (!msg || (window && !WindowOf(window))) return FALSE;
    Backend().PumpEvents();
    bool remove = (removeFlags & PM_REMOVE) != 0;
    if (NextMessage(msg, window, filterMin, filterMax, remove)) return TRUE;
    // The polling pattern of a game loop: wait for the next event or timer
    // expiry instead of returning at once, so the loop does not spin.
    if (!remove && !window && filterMin == 0 && filterMax == 0) Backend().Idle(TimeToNextTimer());
    return FALSE;
}

BOOL GetMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax) {
    if (!msg || (window && !WindowOf(window))) return -1;
    for (;;) {
        Backend().PumpEvents();
        if (NextMessage(msg, window, filterMin, filterMax, true)) return msg->message == WM_QUIT ? 0 : 1;
        Backend().Idle(TimeToNextTimer());
    }
}

BOOL TranslateMessage(const MSG*) { return FALSE; }

LRESULT DispatchMessageA(const MSG* msg) {
    if (!msg) return 0;
    if (msg->message == WM_TIMER && msg->lParam) {
        auto proc = reinterpret_cast<TIMERPROC>(msg->lParam);
        proc(msg->hwnd, WM_TIMER, msg->wParam, msg->time);
        return 0;
    }
    if (!msg->hwnd) return 0;
    return SendMessageA(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

namespace {

UINT_PTR MakeTimer(HWND window, UINT_PTR id, UINT elapse, UINT shortest, TIMERPROC proc);

}  // namespace

UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC proc) {
    return MakeTimer(window, id, elapse, 10u, proc);
}

UINT_PTR SetFrameTimer(HWND window, UINT_PTR id, UINT milliseconds) {
    return MakeTimer(window, id, milliseconds, 1u, nullptr);
}

int DisplayRefreshRate(HWND window) {
    WindowObject* w = WindowOf(window);
    return w ? Backend().RefreshRate(*RootOf(w)) : 0;
}

BOOL SetPresentSync(HWND window, BOOL sync) {
    WindowObject* w = WindowOf(window);
    return w && Backend().SetPresentSync(*RootOf(w), sync != FALSE) ? TRUE : FALSE;
}

namespace {

UINT_PTR MakeTimer(HWND window, UINT_PTR id, UINT elapse, UINT shortest, TIMERPROC proc) {
    if (window && !WindowOf(window)) return 0;
    WinState& state = State();
    if (!window) {
        // Thread timers get fresh ids.
        UINT_PTR next = 1;
        for (const Timer& t : state.timers)
            if (!t.window) next = std::max(next, t.id + 1);
        id = next;
    }
    elapse = std::clamp<UINT>(elapse, shortest, 0x7FFFFFFFu);
    Timer* timer = nullptr;
    for (Timer& t : state.timers)
        if (t.window == window && t.id == id) timer = &t;
    if (!timer) {
        state.timers.push_back(Timer{});
        timer = &state.timers.back();
    }
    timer->window = window;
    timer->id = id;
    timer->period = elapse;
    timer->nextDue = Backend().Now() + elapse;
    timer->pending = false;
    timer->proc = proc;
    ++state.activity;
    return id == 0 ? 1 : id;
}

}  // namespace

BOOL KillTimer(HWND window, UINT_PTR id) {
    auto& timers = State().timers;
    auto it = std::find_if(timers.begin(), timers.end(),
                           [&](const Timer& t) { return t.window == window && t.id == id; });
    if (it == timers.end()) return FALSE;
    timers.erase(it);
    return TRUE;
}

// ---------------------------------------------------------------------------
// Menus

HMENU LoadMenuA(HINSTANCE, LPCSTR name) {
    const MenuTemplate* t = FindMenuResource(ResourceIdOf(name));
    if (!t) return nullptr;
    State().menus.push_back(BuildMenu(t->items, nullptr));
    return State().menus.back().get();
}

HMENU GetMenu(HWND window) {
    WindowObject* w = WindowOf(window);
    return w && w->kind == WindowObject::Kind::TopLevel ? w->menu : nullptr;
}

BOOL DestroyMenu(HMENU menu) {
    MenuObject* m = MenuOf(menu);
    if (!m || m->parent) return FALSE;
    for (auto& w : State().windows)
        if (w->menu == m) w->menu = nullptr;
    ForgetMenuTree(m);
    auto& menus = State().menus;
    menus.erase(std::remove_if(menus.begin(), menus.end(), [m](const auto& p) { return p.get() == m; }),
                menus.end());
    return TRUE;
}

DWORD CheckMenuItem(HMENU menu, UINT item, UINT flags) {
    MenuObject::Item* entry = FindMenuItem(MenuOf(menu), item, flags);
    if (!entry) return static_cast<DWORD>(-1);
    DWORD previous = entry->flags & MF_CHECKED;
    entry->flags = (entry->flags & ~MF_CHECKED) | (flags & MF_CHECKED);
    return previous;
}

BOOL EnableMenuItem(HMENU menu, UINT item, UINT flags) {
    MenuObject::Item* entry = FindMenuItem(MenuOf(menu), item, flags);
    if (!entry) return -1;
    BOOL previous = static_cast<BOOL>(entry->flags & (MF_GRAYED | MF_DISABLED));
    entry->flags = (entry->flags & ~(MF_GRAYED | MF_DISABLED)) | (flags & (MF_GRAYED | MF_DISABLED));
    return previous;
}

int GetMenuItemCount(HMENU menu) {
    MenuObject* m = MenuOf(menu);
    return m ? static_cast<int>(m->items.size()) : -1;
}

HMENU GetSubMenu(HMENU menu, int position) {
    MenuObject* m = MenuOf(menu);
    if (!m || position < 0 || static_cast<size_t>(position) >= m->items.size()) return nullptr;
    return m->items[position].popup.get();
}

UINT GetMenuItemID(HMENU menu, int position) {
    MenuObject* m = MenuOf(menu);
    if (!m || position < 0 || static_cast<size_t>(position) >= m->items.size() || m->items[position].popup)
        return static_cast<UINT>(-1);
    return m->items[position].id;
}

UINT GetMenuState(HMENU menu, UINT item, UINT flags) {
    MenuObject::Item* entry = FindMenuItem(MenuOf(menu), item, flags);
    if (!entry) return static_cast<UINT>(-1);
    if (entry->popup) return (static_cast<UINT>(entry->popup->items.size()) << 8) | (entry->flags & 0xFF);
    return entry->flags;
}

int GetMenuStringA(HMENU menu, UINT item, LPSTR buffer, int maxCount, UINT flags) {
    MenuObject::Item* entry = FindMenuItem(MenuOf(menu), item, flags);
    if (!entry) return 0;
    if (!buffer || maxCount <= 0) return static_cast<int>(entry->text.size());
    size_t n = std::min(entry->text.size(), static_cast<size_t>(maxCount - 1));
    std::memcpy(buffer, entry->text.data(), n);
    buffer[n] = '\0';
    return static_cast<int>(n);
}

// ---------------------------------------------------------------------------
// Accelerators

HACCEL LoadAcceleratorsA(HINSTANCE, LPCSTR name) {
    const AcceleratorTable* t = FindAcceleratorResource(ResourceIdOf(name));
    if (!t) return nullptr;
    auto table = std::make_unique<AcceleratorObject>();
    table->entries = t->entries;
    State().accelerators.push_back(std::move(table));
    return State().accelerators.back().get();
}

int TranslateAcceleratorA(HWND window, HACCEL table, const MSG* msg) {
    WindowObject* w = WindowOf(window);
    if (!w || !table || !msg) return 0;
    auto& tables = State().accelerators;
    if (std::none_of(tables.begin(), tables.end(), [table](const auto& p) { return p.get() == table; })) return 0;
    if (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN) return 0;

    BYTE keys[256];
    Backend().KeyboardSnapshot(keys);
    bool shift = (keys[DIK_LSHIFT] | keys[DIK_RSHIFT]) & 0x80;
    bool control = (keys[DIK_LCONTROL] | keys[DIK_RCONTROL]) & 0x80;
    bool alt = (keys[DIK_LMENU] | keys[DIK_RMENU]) & 0x80;

    for (const ACCEL& a : table->entries) {
        if (!(a.fVirt & FVIRTKEY) || a.key != msg->wParam) continue;
        if (shift != ((a.fVirt & FSHIFT) != 0) || control != ((a.fVirt & FCONTROL) != 0) ||
            alt != ((a.fVirt & FALT) != 0))
            continue;
        MenuObject::Item* item = FindMenuItem(MenuOf(w->menu), a.cmd, MF_BYCOMMAND);
        if (item && (item->flags & (MF_GRAYED | MF_DISABLED))) return 1;
        SendMessageA(window, WM_COMMAND, MAKEWPARAM(a.cmd, 1), 0);
        return 1;
    }
    return 0;
}

int CopyAcceleratorTableA(HACCEL table, ACCEL* entries, int count) {
    auto& tables = State().accelerators;
    if (!table || std::none_of(tables.begin(), tables.end(), [table](const auto& p) { return p.get() == table; }))
        return 0;
    const int held = static_cast<int>(table->entries.size());
    if (!entries) return held;
    const int copied = std::clamp(count, 0, held);
    std::copy_n(table->entries.begin(), copied, entries);
    return copied;
}

// ---------------------------------------------------------------------------
// Icons and cursors

HICON LoadIconA(HINSTANCE instance, LPCSTR name) {
    int id = ResourceIdOf(name);
    if (!instance) {
        // Stock icons: IDI_APPLICATION and its kin.
        if (id < 32512 || id > 32518) return nullptr;
        id = 0;
    } else if (!FindIconResource(id)) {
        return nullptr;
    }
    auto& icons = State().icons;
    for (auto& icon : icons)
        if (icon->resourceId == id) return icon.get();
    icons.push_back(std::make_unique<IconObject>());
    icons.back()->resourceId = id;
    return icons.back().get();
}

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name) {
    int id = ResourceIdOf(name);
    if (instance || id < 32512 || id > 32651) return nullptr;
    static Lasting<std::vector<std::unique_ptr<CursorObject>>> lastingCursors;
    auto& cursors = *lastingCursors;
    for (auto& c : cursors)
        if (c->id == id) return c.get();
    cursors.push_back(std::make_unique<CursorObject>());
    cursors.back()->id = id;
    return cursors.back().get();
}

// ---------------------------------------------------------------------------
// Message boxes, shell, clocks

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    std::string body = text ? text : "";
    std::string title = caption ? caption : "Error";
    if (Backend().CanDrawMessageBoxIn(owner)) return RunMessageBoxDialog(owner, body, title, type);
    return Backend().ShowMessageBox(owner, body, title, type);
}

HINSTANCE ShellExecuteA(HWND, LPCSTR verb, LPCSTR file, LPCSTR, LPCSTR, int) {
    auto code = [](INT_PTR value) { return reinterpret_cast<HINSTANCE>(value); };
    if (verb && strcasecmp(verb, "open") != 0) return code(SE_ERR_NOASSOC);
    if (!file || !*file) return code(2);  // ERROR_FILE_NOT_FOUND
    // A name that starts like an option would be taken as one by the opener.
    if (file[0] == '-') return code(2);
    return Backend().OpenWithShell(file) ? code(42) : code(SE_ERR_NOASSOC);
}

int DialogUnitsToPixelsX(int units, int baseWidth) {
    long v = static_cast<long>(units) * baseWidth;
    return static_cast<int>(v >= 0 ? (v + 2) / 4 : (v - 2) / 4);
}

int DialogUnitsToPixelsY(int units, int baseHeight) {
    long v = static_cast<long>(units) * baseHeight;
    return static_cast<int>(v >= 0 ? (v + 4) / 8 : (v - 4) / 8);
}
