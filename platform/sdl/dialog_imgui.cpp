// The menu bar, the modal dialogs and in-window message boxes, drawn with Dear
// ImGui over the frame the device presents. What the player does here is
// posted to the dialog or window as a message, so dialog procedures and menu
// commands run from the message loop and never inside the frame.
#include <SDL.h>
#include <fontconfig/fontconfig.h>
#include <imgui.h>
#include <imgui_freetype.h>
#include <imgui_internal.h>
#include <imgui_stdlib.h>
#include <backends/imgui_impl_opengl3.h>
#include <backends/imgui_impl_sdl.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/sdl/ui_imgui.h"
#include "platform/core/win_text.h"
#include "platform/port/background_thread.h"

namespace {

// The dialog font stands in for "MS Sans Serif" 8 point at 96 dpi, whose
// character cell is 13 pixels high.
constexpr float kFontPixels = 13.0f;

struct Ui {
    ImGuiContext* context = nullptr;
    SDL_Window* window = nullptr;
    SDL_GLContext glContext = nullptr;
    bool glReady = false;
    int menuBarHeight = 19;
    int baseX = 6;
    int baseY = 13;
    bool menuOpen = false;     // a pop-up of the menu bar was open in the last frame
    int openTop = -1;          // which one, by its place in the bar
    bool closeMenus = false;   // every pop-up closes in the next frame
    bool menuShown = false;    // the bar was drawn in the last frame (full screen hides it)
    WindowObject* menuWindow = nullptr;  // the window whose menu bar is drawn
    // The menu bar worked from the keys: the pop-up open and the item chosen
    // in it (-1: none yet).
    struct MenuKeys {
        bool active = false;
        int top = -1;
        int item = -1;
    } keys;
    std::uint64_t lastFrame = 0;
    // The dialog font's glyphs, shared by every context made here: the same
    // font each time, so it is rendered once.
    std::unique_ptr<ImFontAtlas> atlas;
};

Ui ui;

// The atlas made ahead of the first window (UiPrepareFontAtlas).
struct PreparedAtlas {
    std::mutex mutex;
    std::unique_ptr<BackgroundThread> worker;  // joined by its destructor when a start ends before its window
    std::unique_ptr<ImFontAtlas> atlas;
};
PreparedAtlas prepared;

// Windows-1252's characters outside Latin-1, for the font atlas.
const ImWchar kGlyphRanges[] = {0x0020, 0x00FF, 0x0152, 0x0153, 0x0160, 0x0161, 0x0178, 0x0178, 0x017D, 0x017E,
                                0x0192, 0x0192, 0x02C6, 0x02C6, 0x02DC, 0x02DC, 0x2013, 0x2014, 0x2018, 0x201E,
                                0x2020, 0x2022, 0x2026, 0x2026, 0x2030, 0x2030, 0x2039, 0x203A, 0x20AC, 0x20AC,
                                0x2122, 0x2122, 0};

std::string FontFile(const char* family) {
    std::string path;
    if (!FcInit()) return path;
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(family));
    if (!pattern) return path;
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    if (match) {
        FcChar8* file = nullptr;
        if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file)
            path = reinterpret_cast<const char*>(file);
        FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
    return path;
}

void ApplyStyle() {
    ImGui::StyleColorsLight();
    ImGuiStyle& style = ImGui::GetStyle();
    style.WindowRounding = 0.0f;
    style.FrameRounding = 0.0f;
    style.GrabRounding = 0.0f;
    style.PopupRounding = 0.0f;
    style.WindowBorderSize = 1.0f;
    style.PopupBorderSize = 1.0f;
    style.WindowTitleAlign = ImVec2(0.0f, 0.5f);
    ImVec4* c = style.Colors;
    const ImVec4 face(0.831f, 0.816f, 0.784f, 1.0f);  // the classic dialog face
    c[ImGuiCol_WindowBg] = face;
    c[ImGuiCol_PopupBg] = ImVec4(0.96f, 0.96f, 0.95f, 1.0f);
    c[ImGuiCol_MenuBarBg] = face;
    c[ImGuiCol_TitleBg] = ImVec4(0.60f, 0.63f, 0.70f, 1.0f);
    c[ImGuiCol_TitleBgActive] = ImVec4(0.55f, 0.66f, 0.86f, 1.0f);
    c[ImGuiCol_Button] = ImVec4(0.90f, 0.89f, 0.87f, 1.0f);
    c[ImGuiCol_Border] = ImVec4(0.35f, 0.35f, 0.35f, 0.80f);
    c[ImGuiCol_FrameBg] = ImVec4(1.0f, 1.0f, 1.0f, 1.0f);
    c[ImGuiCol_SliderGrab] = ImVec4(0.30f, 0.40f, 0.65f, 1.0f);
    c[ImGuiCol_SliderGrabActive] = ImVec4(0.20f, 0.30f, 0.60f, 1.0f);
}

// Renders the dialog font with FreeType. Uses no ImGui context, so it may
// run on another thread while none exists.
std::unique_ptr<ImFontAtlas> BuildFontAtlas() {
    auto atlas = std::make_unique<ImFontAtlas>();
    atlas->FontBuilderIO = ImGuiFreeType::GetBuilderForFreeType();
    atlas->FontBuilderFlags = ImGuiFreeTypeBuilderFlags_LightHinting;
    ImFont* font = nullptr;
    std::string file = FontFile("Liberation Sans");
    if (!file.empty()) font = atlas->AddFontFromFileTTF(file.c_str(), kFontPixels, nullptr, kGlyphRanges);
    if (!font) font = atlas->AddFontDefault();
    if (!atlas->Build()) return nullptr;
    return atlas;
}

// The atlas made ahead, once it is done; none if it was never begun or failed.
std::unique_ptr<ImFontAtlas> TakePreparedAtlas() {
    std::lock_guard<std::mutex> lock(prepared.mutex);
    if (prepared.worker) prepared.worker->Join();
    prepared.worker.reset();
    return std::move(prepared.atlas);
}

bool BuildContext(SDL_Window* window) {
    if (!ui.atlas) ui.atlas = TakePreparedAtlas();
    if (!ui.atlas) ui.atlas = BuildFontAtlas();
    if (!ui.atlas || ui.atlas->Fonts.empty()) return false;
    ui.context = ImGui::CreateContext(ui.atlas.get());
    ImGui::SetCurrentContext(ui.context);
    ImGuiIO& io = ImGui::GetIO();
    io.IniFilename = nullptr;
    io.LogFilename = nullptr;
    ApplyStyle();
    ImFont* font = ui.atlas->Fonts[0];

    // Dialog base units as Windows derives them from the dialog font: the
    // width of the 52 letters, halved per 26 and rounded; the cell height.
    const char* letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    float width = font->CalcTextSizeA(font->FontSize, FLT_MAX, 0.0f, letters).x;
    ui.baseX = std::max(1, (static_cast<int>(width) / 26 + 1) / 2);
    ui.baseY = std::max(1, static_cast<int>(std::lround(font->FontSize)));
    ui.menuBarHeight = static_cast<int>(std::lround(font->FontSize + ImGui::GetStyle().FramePadding.y * 2.0f));

    if (!ImGui_ImplSDL2_InitForOpenGL(window, nullptr)) {
        ImGui::DestroyContext(ui.context);
        ui.context = nullptr;
        return false;
    }
    ui.window = window;
    ui.glReady = false;
    ui.glContext = nullptr;
    return true;
}

// Shuts ImGui down; its GL objects are deleted only when their context is
// still the current one (otherwise they went with their context).
void TearDownContext() {
    if (!ui.context) return;
    ImGui::SetCurrentContext(ui.context);
    if (ui.glReady) {
        if (SDL_GL_GetCurrentContext() == ui.glContext)
            ImGui_ImplOpenGL3_Shutdown();
        else
            ImGui::GetIO().BackendRendererUserData = nullptr;
    }
    ImGui_ImplSDL2_Shutdown();
    ImGui::DestroyContext(ui.context);
    ui.context = nullptr;
    ui.glReady = false;
    ui.glContext = nullptr;
}

bool EnsureGl() {
    SDL_GLContext current = SDL_GL_GetCurrentContext();
    if (!current) return false;
    if (ui.glReady && current == ui.glContext) return true;
    if (ui.glReady) {
        // A new GL context: start ImGui over in it.
        SDL_Window* window = ui.window;
        TearDownContext();
        if (!BuildContext(window)) return false;
    }
    if (!ImGui_ImplOpenGL3_Init("#version 330 core")) return false;
    ui.glReady = true;
    ui.glContext = current;
    return true;
}

std::string Label(const std::string& text, const char* tag, size_t index) {
    return Utf8FromWindows1252(WithoutMnemonic(text)) + "##" + tag + std::to_string(index);
}

ImU32 Color(ImGuiCol which) { return ImGui::GetColorU32(which); }

bool Enabled(const MenuObject::Item& item) { return !(item.flags & (MF_GRAYED | MF_DISABLED)); }

// The pop-ups of the bar that can open, and the items in one that can be
// chosen (no separators, nothing grayed), one step from `from` in `step`'s
// direction, round the end; -1 when there is none.
int NextTop(const MenuObject& bar, int from, int step) {
    const int count = static_cast<int>(bar.items.size());
    for (int n = 1; n <= count; ++n) {
        const int i = ((from + step * n) % count + count) % count;
        if (bar.items[i].popup && Enabled(bar.items[i])) return i;
    }
    return -1;
}

int NextItem(const MenuObject& popup, int from, int step) {
    const int count = static_cast<int>(popup.items.size());
    if (count == 0) return -1;
    if (from < 0) from = step > 0 ? -1 : count;
    for (int n = 1; n <= count; ++n) {
        const int i = ((from + step * n) % count + count) % count;
        const MenuObject::Item& item = popup.items[i];
        if (!(item.flags & MF_SEPARATOR) && !item.popup && Enabled(item)) return i;
    }
    return -1;
}

const MenuObject* PopupAt(const MenuObject& bar, int top) {
    return top >= 0 && static_cast<size_t>(top) < bar.items.size() ? bar.items[top].popup.get() : nullptr;
}

// The items of one pop-up; `chosen` is the item the keys have chosen, drawn
// as the mouse's would be.
void DrawPopupItems(WindowObject& w, MenuObject& menu, const std::string& path, int chosen) {
    for (size_t i = 0; i < menu.items.size(); ++i) {
        MenuObject::Item& item = menu.items[i];
        std::string id = path + "." + std::to_string(i);
        if (item.flags & MF_SEPARATOR) {
            ImGui::Separator();
            continue;
        }
        if (static_cast<int>(i) == chosen) {
            const ImGuiStyle& style = ImGui::GetStyle();
            const ImVec2 at = ImGui::GetCursorScreenPos();
            const float right = ImGui::GetWindowPos().x + ImGui::GetWindowWidth() - style.WindowPadding.x;
            ImGui::GetWindowDrawList()->AddRectFilled(
                ImVec2(at.x - style.WindowPadding.x * 0.5f, at.y - style.ItemSpacing.y * 0.5f),
                ImVec2(right + style.WindowPadding.x * 0.5f, at.y + ImGui::GetFontSize() + style.ItemSpacing.y * 0.5f),
                Color(ImGuiCol_HeaderHovered));
        }
        if (item.popup) {
            if (ImGui::BeginMenu(Label(item.text, id.c_str(), i).c_str(), Enabled(item))) {
                DrawPopupItems(w, *item.popup, id, -1);
                ImGui::EndMenu();
            }
        } else if (ImGui::MenuItem(Label(item.text, id.c_str(), i).c_str(), nullptr, (item.flags & MF_CHECKED) != 0,
                                   Enabled(item))) {
            PostToQueue(&w, WM_COMMAND, MAKEWPARAM(item.id, 0), 0);
            ui.keys.active = false;
        }
    }
}

// In full screen the bar shows only while it is wanted: a pop-up open, the
// keys working it, or the mouse at the top edge (and then on the bar).
bool MenuBarWanted(const WindowObject& w) {
    if (!w.fullScreen || ui.keys.active || ui.openTop >= 0) return true;
    if (SDL_GetMouseFocus() != ui.window) return false;
    const ImVec2 mouse = ImGui::GetIO().MousePos;
    if (!ImGui::IsMousePosValid(&mouse)) return false;
    return mouse.y < (ui.menuShown ? static_cast<float>(ui.menuBarHeight) : 2.0f);
}

void DrawMenuBar(WindowObject& w) {
    ui.menuWindow = &w;
    ui.menuOpen = false;
    MenuObject* menu = MenuOf(w.menu);
    ui.menuShown = menu && MenuBarWanted(w);
    if (!ui.menuShown) {
        ui.openTop = -1;
        ui.closeMenus = false;
        return;
    }
    if (!ImGui::BeginMainMenuBar()) return;
    // A window under a modal dialog has no working menu.
    ImGui::BeginDisabled(w.disabledCount > 0);
    if (ui.keys.active) {
        // The pop-up the keys chose opens, or stays open, by its label.
        const int top = ui.keys.top;
        const std::string label = Label(menu->items[top].text, ("m." + std::to_string(top)).c_str(), top);
        if (!ImGui::IsPopupOpen(label.c_str())) ImGui::OpenPopup(label.c_str());
    }
    ui.openTop = -1;
    for (size_t i = 0; i < menu->items.size(); ++i) {
        MenuObject::Item& item = menu->items[i];
        std::string id = "m." + std::to_string(i);
        if (!item.popup) {
            if (ImGui::MenuItem(Label(item.text, id.c_str(), i).c_str(), nullptr, false, Enabled(item)))
                PostToQueue(&w, WM_COMMAND, MAKEWPARAM(item.id, 0), 0);
            continue;
        }
        if (ImGui::BeginMenu(Label(item.text, id.c_str(), i).c_str(), Enabled(item))) {
            ui.menuOpen = true;
            ui.openTop = static_cast<int>(i);
            if (ui.closeMenus) {
                ImGui::CloseCurrentPopup();
            } else {
                const bool chosenHere = ui.keys.active && ui.keys.top == static_cast<int>(i);
                DrawPopupItems(w, *item.popup, id, chosenHere ? ui.keys.item : -1);
            }
            ImGui::EndMenu();
        }
    }
    ImGui::EndDisabled();
    ImGui::EndMainMenuBar();
    if (ui.closeMenus) {
        ui.closeMenus = false;
        ui.menuOpen = false;
        ui.openTop = -1;
    }
    if (ui.keys.active) {
        if (ui.openTop < 0) {
            ui.keys.active = false;  // the mouse closed it
        } else if (ui.openTop != ui.keys.top) {
            ui.keys.top = ui.openTop;  // the mouse went to another pop-up
            ui.keys.item = -1;
        }
    }
}

// The field a character is typed into, for the filter.
struct TypedInto {
    DialogRuntime* dialog;
    size_t index;
};

// Control characters go as always; a letter the code page cannot hold is
// refused, and the dialog told.
int TextFilter(ImGuiInputTextCallbackData* data) {
    auto* into = static_cast<TypedInto*>(data->UserData);
    if (data->EventFlag == ImGuiInputTextFlags_CallbackAlways) {
        // Text set from outside (a pad's letter picker): typing goes on at its end.
        if (into && into->dialog->cursorToEnd == static_cast<int>(into->index)) {
            data->CursorPos = data->SelectionStart = data->SelectionEnd = data->BufTextLen;
            into->dialog->cursorToEnd = -1;
        }
        return 0;
    }
    if (data->EventFlag != ImGuiInputTextFlags_CallbackCharFilter) return 0;
    if (data->EventChar < 0x20) return 1;
    if (HasWindows1252Byte(data->EventChar)) return 0;
    if (into) PostToQueue(into->dialog->window, kUiCharRefused, into->index, 0);
    return 1;
}

void DrawGroupBox(ImDrawList* list, const ImVec2& min, const ImVec2& max, const std::string& text) {
    float half = ImGui::GetFontSize() * 0.5f;
    list->AddRect(ImVec2(min.x, min.y + half), max, Color(ImGuiCol_Border));
    if (text.empty()) return;
    std::string shown = Utf8FromWindows1252(WithoutMnemonic(text));
    ImVec2 size = ImGui::CalcTextSize(shown.c_str());
    ImVec2 at(min.x + static_cast<float>(ui.baseX), min.y);
    list->AddRectFilled(ImVec2(at.x - 2, at.y), ImVec2(at.x + size.x + 2, at.y + size.y), Color(ImGuiCol_WindowBg));
    list->AddText(at, Color(ImGuiCol_Text), shown.c_str());
}

void DrawStatic(ImDrawList* list, const ImVec2& min, const ImVec2& max, const std::string& text) {
    std::string shown = Utf8FromWindows1252(WithoutMnemonic(UnixLineBreaks(text)));
    ImVec4 clip(min.x, min.y, max.x, max.y);
    list->AddText(ImGui::GetFont(), ImGui::GetFontSize(), min, Color(ImGuiCol_Text), shown.c_str(), nullptr,
                  max.x - min.x, &clip);
}

// A horizontal trackbar: the thumb slides along the channel, its centre from
// `left` at the range's low end to `right` at the high end.
constexpr float kThumbWidth = 11.0f;
constexpr float kChannelInset = 2.0f;
// A button held on the channel pages on after a pause, until the thumb reaches the pointer.
constexpr std::uint64_t kPageDelayMs = 400;
constexpr std::uint64_t kPageRepeatMs = 100;

struct TrackbarLayout {
    float left = 0.0f, right = 0.0f;
    int low = 0, high = 0;

    float CentreOf(int position) const {
        if (high <= low) return left;
        return left + (right - left) * static_cast<float>(position - low) / static_cast<float>(high - low);
    }
    int PositionAt(float centre) const {
        if (high <= low || right <= left) return low;
        float t = (centre - left) / (right - left);
        return std::clamp(low + static_cast<int>(std::lround(t * static_cast<float>(high - low))), low, high);
    }
};

// The dotted frame Windows draws around the control that has the keyboard.
void DrawFocusRect(ImDrawList* list, const ImVec2& min, const ImVec2& max) {
    ImU32 colour = Color(ImGuiCol_Text);
    for (float x = min.x; x < max.x; x += 2.0f) {
        list->AddRectFilled(ImVec2(x, min.y), ImVec2(x + 1.0f, min.y + 1.0f), colour);
        list->AddRectFilled(ImVec2(x, max.y - 1.0f), ImVec2(x + 1.0f, max.y), colour);
    }
    for (float y = min.y; y < max.y; y += 2.0f) {
        list->AddRectFilled(ImVec2(min.x, y), ImVec2(min.x + 1.0f, y + 1.0f), colour);
        list->AddRectFilled(ImVec2(max.x - 1.0f, y), ImVec2(max.x, y + 1.0f), colour);
    }
}

// The mouse works a trackbar as on Windows: the thumb, taken, follows the
// pointer (TB_THUMBTRACK for every new position); a press on the channel
// beside it moves it a page toward the pointer, again and again while held;
// letting go ends the move. The trackbar pressed takes the keyboard.
void DrawTrackbar(DialogRuntime& d, size_t i, const ImVec2& min, const ImVec2& max) {
    ControlRuntime& c = d.controls[i];
    DialogRuntime::TrackbarMouse& mouse = d.trackbarMouse;
    const int index = static_cast<int>(i);
    const ImVec2 pointer = ImGui::GetIO().MousePos;
    const std::uint64_t now = MonotonicMilliseconds();

    ImGui::PushStyleVar(ImGuiStyleVar_FramePadding, ImVec2(3.0f, 3.0f));
    const float frameHeight = ImGui::GetFrameHeight();
    ImGui::PopStyleVar();
    const ImVec2 frameMin(min.x, min.y + std::max(0.0f, (max.y - min.y - frameHeight) * 0.5f));
    const ImVec2 frameMax(max.x, std::min(max.y, frameMin.y + frameHeight));
    TrackbarLayout layout;
    layout.left = min.x + kChannelInset + kThumbWidth * 0.5f;
    layout.right = max.x - kChannelInset - kThumbWidth * 0.5f;
    layout.low = c.rangeMin;
    layout.high = c.rangeMax;

    // The whole control answers the mouse, so a press on it never moves the dialog.
    ImGui::SetCursorScreenPos(min);
    ImGui::InvisibleButton(Label("", "t", i).c_str(), ImVec2(max.x - min.x, max.y - min.y));
    if (ImGui::IsItemActivated()) {
        mouse = DialogRuntime::TrackbarMouse{};
        mouse.index = index;
        PostToQueue(d.window, kUiTrackbarPress, i, 0);
        const float centre = layout.CentreOf(c.position);
        if (std::fabs(pointer.x - centre) <= kThumbWidth * 0.5f && pointer.y >= frameMin.y && pointer.y < frameMax.y) {
            mouse.onThumb = true;
            mouse.grabOffset = pointer.x - centre;
            mouse.position = c.position;
        } else {
            mouse.page = pointer.x < centre ? TB_PAGEUP : TB_PAGEDOWN;
            mouse.nextPage = now + kPageDelayMs;
            PostToQueue(d.window, kUiTrackbar, i, MAKELPARAM(0, mouse.page));
        }
    } else if (ImGui::IsItemActive() && mouse.index == index) {
        if (mouse.onThumb) {
            int position = layout.PositionAt(pointer.x - mouse.grabOffset);
            if (position != mouse.position) {
                mouse.position = position;
                PostToQueue(d.window, kUiTrackbar, i, MAKELPARAM(static_cast<unsigned>(position), TB_THUMBTRACK));
            }
        } else if (now >= mouse.nextPage) {
            const float centre = layout.CentreOf(c.position);
            bool shortOfPointer = mouse.page == TB_PAGEUP ? pointer.x < centre - kThumbWidth * 0.5f
                                                            : pointer.x > centre + kThumbWidth * 0.5f;
            if (shortOfPointer) PostToQueue(d.window, kUiTrackbar, i, MAKELPARAM(0, mouse.page));
            mouse.nextPage = now + kPageRepeatMs;
        }
    }
    const bool dragging = mouse.index == index && mouse.onThumb;
    if (ImGui::IsItemDeactivated() && mouse.index == index) {
        PostToQueue(d.window, kUiTrackbarRelease, i, 0);
        mouse = DialogRuntime::TrackbarMouse{};
    }

    ImDrawList* list = ImGui::GetWindowDrawList();
    list->AddRectFilled(frameMin, frameMax, Color(ImGuiCol_FrameBg));
    // The dragged thumb is drawn under the pointer at once, before its messages are through.
    const float centre = layout.CentreOf(dragging ? mouse.position : c.position);
    list->AddRectFilled(ImVec2(centre - kThumbWidth * 0.5f, frameMin.y + 2.0f),
                        ImVec2(centre + kThumbWidth * 0.5f, frameMax.y - 2.0f),
                        Color(dragging ? ImGuiCol_SliderGrabActive : ImGuiCol_SliderGrab));
    if (d.focusControl == index) DrawFocusRect(list, min, max);
}

// The letter a pad's letter picker is at, boxed in the field just drawn,
// with a mark above and below for the way up and down the letters.
void DrawLetterPicker(ImDrawList* list, const ControlRuntime& c, const std::string& shown) {
    const std::string text = Windows1252FromUtf8(shown);
    const std::size_t at = static_cast<std::size_t>(c.pickerLetter);
    if (at >= text.size()) return;
    const ImVec2 frameMin = ImGui::GetItemRectMin(), frameMax = ImGui::GetItemRectMax();
    const float before = ImGui::CalcTextSize(Utf8FromWindows1252(text.substr(0, at)).c_str()).x;
    const std::string letter = Utf8FromWindows1252(text.substr(at, 1));
    const float width = std::max(ImGui::CalcTextSize(letter.c_str()).x, ImGui::CalcTextSize("A").x);
    const float left = frameMin.x + ImGui::GetStyle().FramePadding.x + before - 1.0f;
    const ImU32 colour = Color(ImGuiCol_Text);
    list->AddRect(ImVec2(left, frameMin.y + 1.0f), ImVec2(left + width + 2.0f, frameMax.y - 1.0f), colour);
    const float middle = left + (width + 2.0f) * 0.5f;
    list->AddTriangleFilled(ImVec2(middle - 3.0f, frameMin.y - 1.0f), ImVec2(middle + 3.0f, frameMin.y - 1.0f),
                            ImVec2(middle, frameMin.y - 4.0f), colour);
    list->AddTriangleFilled(ImVec2(middle - 3.0f, frameMax.y + 1.0f), ImVec2(middle + 3.0f, frameMax.y + 1.0f),
                            ImVec2(middle, frameMax.y + 4.0f), colour);
}

void DrawControl(DialogRuntime& d, size_t i, const ImVec2& origin) {
    ControlRuntime& c = d.controls[i];
    if (!(c.item.style & WS_VISIBLE)) return;
    float x = static_cast<float>(DialogUnitsToPixelsX(c.item.x, ui.baseX));
    float y = static_cast<float>(DialogUnitsToPixelsY(c.item.y, ui.baseY));
    float w = static_cast<float>(DialogUnitsToPixelsX(c.item.cx, ui.baseX));
    float h = static_cast<float>(DialogUnitsToPixelsY(c.item.cy, ui.baseY));
    ImVec2 min(origin.x + x, origin.y + y);
    ImVec2 max(min.x + w, min.y + h);
    ImDrawList* list = ImGui::GetWindowDrawList();
    float padY = std::max(0.0f, (h - ImGui::GetFontSize()) * 0.5f);
    float frameHeight = ImGui::GetFontSize() + 2.0f * std::min(padY, 3.0f);
    // A pad works the dialog: its focus is framed, as the keyboard's is on Windows.
    const bool padFocused = d.padFocus && d.focusControl == static_cast<int>(i);

    switch (c.kind) {
        case ControlRuntime::Kind::GroupBox:
            DrawGroupBox(list, min, max, c.text);
            break;
        case ControlRuntime::Kind::Static:
            DrawStatic(list, min, max, c.text);
            break;
        case ControlRuntime::Kind::PushButton:
        case ControlRuntime::Kind::DefaultPushButton:
            ImGui::SetCursorScreenPos(min);
            if (ImGui::Button(Label(c.text, "b", i).c_str(), ImVec2(w, h)))
                PostToQueue(d.window, kUiClick, i, 0);
            if (c.kind == ControlRuntime::Kind::DefaultPushButton)
                list->AddRect(ImVec2(min.x - 1, min.y - 1), ImVec2(max.x + 1, max.y + 1), IM_COL32(0, 0, 0, 255));
            if (padFocused) DrawFocusRect(list, ImVec2(min.x + 3, min.y + 3), ImVec2(max.x - 3, max.y - 3));
            break;
        case ControlRuntime::Kind::RadioButton:
        case ControlRuntime::Kind::CheckBox: {
            ImGui::PushStyleVar(ImGuiStyleVar_FramePadding, ImVec2(2.0f, std::min(padY, 2.0f)));
            ImGui::SetCursorScreenPos(ImVec2(min.x, min.y + std::max(0.0f, (h - frameHeight) * 0.5f)));
            bool pressed = false;
            if (c.kind == ControlRuntime::Kind::RadioButton) {
                pressed = ImGui::RadioButton(Label(c.text, "r", i).c_str(), c.checked);
            } else {
                bool checked = c.checked;
                pressed = ImGui::Checkbox(Label(c.text, "k", i).c_str(), &checked);
            }
            if (pressed) PostToQueue(d.window, kUiClick, i, 0);
            ImGui::PopStyleVar();
            if (padFocused) DrawFocusRect(list, ImVec2(min.x - 1, min.y - 1), ImVec2(max.x + 1, max.y + 1));
            break;
        }
        case ControlRuntime::Kind::Edit: {
            if (d.editBuffers.size() != d.controls.size()) d.editBuffers.resize(d.controls.size());
            std::string& buffer = d.editBuffers[i];
            const std::string label = Label("", "e", i);
            if (Windows1252FromUtf8(buffer) != c.text) {
                buffer = Utf8FromWindows1252(c.text);
                // A field being typed into keeps its own copy of the text:
                // let go of it, so the new text shows, and take it back.
                if (ImGui::GetActiveID() == ImGui::GetID(label.c_str())) {
                    ImGui::ClearActiveID();
                    d.focusApplied = false;
                    d.cursorToEnd = static_cast<int>(i);
                }
            }
            ImGui::PushStyleVar(ImGuiStyleVar_FramePadding, ImVec2(3.0f, std::min(padY, 3.0f)));
            ImGui::PushStyleVar(ImGuiStyleVar_FrameBorderSize, (c.item.style & WS_BORDER) ? 1.0f : 0.0f);
            ImGui::SetCursorScreenPos(ImVec2(min.x, min.y + std::max(0.0f, (h - frameHeight) * 0.5f)));
            ImGui::SetNextItemWidth(w);
            if (static_cast<int>(i) == d.focusControl && !d.focusApplied) {
                ImGui::SetKeyboardFocusHere();
                d.focusApplied = true;
            }
            ImGuiInputTextFlags flags = ImGuiInputTextFlags_CallbackCharFilter | ImGuiInputTextFlags_CallbackAlways;
            if (c.readOnly) flags |= ImGuiInputTextFlags_ReadOnly;
            TypedInto into{&d, i};
            if (ImGui::InputText(label.c_str(), &buffer, flags, TextFilter, &into)) c.text = Windows1252FromUtf8(buffer);
            if (padFocused && c.pickerLetter >= 0) DrawLetterPicker(list, c, buffer);
            ImGui::PopStyleVar(2);
            break;
        }
        case ControlRuntime::Kind::Trackbar:
            DrawTrackbar(d, i, min, max);
            break;
        default:
            break;
    }
}

ImVec2 ClientCentre(const WindowObject& w) {
    ImVec2 display = ImGui::GetIO().DisplaySize;
    float top = w.menu && !w.fullScreen ? static_cast<float>(ui.menuBarHeight) : 0.0f;
    return ImVec2(display.x * 0.5f, top + (display.y - top) * 0.5f);
}

// A line of a message box that is an address, there to be copied.
bool IsAddressLine(const std::string& line) {
    if (line.find_first_of(" \t") != std::string::npos) return false;
    for (const char* scheme : {"file://", "http://", "https://"})
        if (line.rfind(scheme, 0) == 0) return true;
    return false;
}

// The text of a message box. An address on a line of its own is drawn as a
// read-only field, which selects with the mouse and copies with Ctrl+C, and
// which holds the keyboard with the address selected when the box opens;
// Enter and Esc still answer the box. Other boxes are plain text.
void DrawMessageText(const std::string& text, bool top) {
    std::vector<std::string> lines;
    for (size_t start = 0;;) {
        const size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    if (std::none_of(lines.begin(), lines.end(), IsAddressLine)) {
        ImGui::TextUnformatted(text.c_str());
        return;
    }
    std::string plain;
    bool anyPlain = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (!IsAddressLine(lines[i])) {
            plain += anyPlain ? "\n" + lines[i] : lines[i];
            anyPlain = true;
            continue;
        }
        if (anyPlain) ImGui::TextUnformatted(plain.c_str());
        plain.clear();
        anyPlain = false;
        ImGui::PushStyleVar(ImGuiStyleVar_FramePadding, ImVec2(3.0f, 3.0f));
        ImGui::PushStyleVar(ImGuiStyleVar_FrameBorderSize, 1.0f);
        const float wanted = ImGui::CalcTextSize(lines[i].c_str()).x + 12.0f;
        ImGui::SetNextItemWidth(std::min(wanted, ImGui::GetIO().DisplaySize.x * 0.8f));
        if (top && ImGui::IsWindowAppearing()) ImGui::SetKeyboardFocusHere();
        ImGui::InputText(("##address" + std::to_string(i)).c_str(), &lines[i],
                         ImGuiInputTextFlags_ReadOnly | ImGuiInputTextFlags_AutoSelectAll);
        ImGui::PopStyleVar(2);
    }
    if (anyPlain) ImGui::TextUnformatted(plain.c_str());
}

void DrawMessageBox(DialogRuntime& d, const WindowObject& root, bool top) {
    ImGui::SetNextWindowPos(ClientCentre(root), ImGuiCond_Appearing, ImVec2(0.5f, 0.5f));
    if (top) ImGui::SetNextWindowFocus();
    bool open = true;
    // A new name for each box: ImGui would place a box of a known name where the last one was.
    std::string title = Utf8FromWindows1252(d.tmpl.caption) + "###box" + std::to_string(d.serial);
    ImGuiWindowFlags flags = ImGuiWindowFlags_NoCollapse | ImGuiWindowFlags_NoResize |
                             ImGuiWindowFlags_AlwaysAutoResize | ImGuiWindowFlags_NoSavedSettings;
    ImGui::PushStyleVar(ImGuiStyleVar_WindowPadding, ImVec2(14.0f, 12.0f));
    if (ImGui::Begin(title.c_str(), &open, flags)) {
        ImGui::BeginDisabled(!top);
        std::string body = d.tmpl.items.empty() ? std::string() : d.tmpl.items[0].text;
        DrawMessageText(Utf8FromWindows1252(UnixLineBreaks(body)), top);
        ImGui::Dummy(ImVec2(0.0f, 6.0f));
        float buttonWidth = 75.0f;
        float avail = ImGui::GetContentRegionAvail().x;
        ImGui::SetCursorPosX(ImGui::GetCursorPosX() + std::max(0.0f, (avail - buttonWidth) * 0.5f));
        if (ImGui::Button("OK##box", ImVec2(buttonWidth, 0.0f))) PostToQueue(d.window, kUiKey, VK_RETURN, 0);
        ImGui::EndDisabled();
    }
    ImGui::End();
    ImGui::PopStyleVar();
    if (!open && top) PostToQueue(d.window, kUiKey, VK_ESCAPE, 0);
}

void DrawDialog(DialogRuntime& d, const WindowObject& root, bool top) {
    if (d.isMessageBox) {
        DrawMessageBox(d, root, top);
    } else {
        float width = static_cast<float>(DialogUnitsToPixelsX(d.tmpl.cx, ui.baseX));
        float height = static_cast<float>(DialogUnitsToPixelsY(d.tmpl.cy, ui.baseY));
        bool hasTitle = (d.tmpl.style & WS_CAPTION) == WS_CAPTION;
        float titleHeight = hasTitle ? ImGui::GetFontSize() + ImGui::GetStyle().FramePadding.y * 2.0f : 0.0f;
        ImGui::SetNextWindowPos(ClientCentre(root), ImGuiCond_Appearing, ImVec2(0.5f, 0.5f));
        ImGui::SetNextWindowSize(ImVec2(width, height + titleHeight));
        if (top) ImGui::SetNextWindowFocus();
        ImGuiWindowFlags flags = ImGuiWindowFlags_NoCollapse | ImGuiWindowFlags_NoResize |
                                 ImGuiWindowFlags_NoSavedSettings | ImGuiWindowFlags_NoScrollbar |
                                 ImGuiWindowFlags_NoScrollWithMouse;
        if (!hasTitle) flags |= ImGuiWindowFlags_NoTitleBar;
        bool open = true;
        bool closeBox = (d.tmpl.style & WS_SYSMENU) != 0;
        std::string title = Utf8FromWindows1252(d.tmpl.caption) + "###dialog" + std::to_string(d.serial);
        ImGui::PushStyleVar(ImGuiStyleVar_WindowPadding, ImVec2(0.0f, 0.0f));
        if (ImGui::Begin(title.c_str(), closeBox ? &open : nullptr, flags)) {
            ImGui::BeginDisabled(!top);
            ImVec2 origin = ImGui::GetCursorScreenPos();
            for (size_t i = 0; i < d.controls.size(); ++i) DrawControl(d, i, origin);
            ImGui::EndDisabled();
        }
        ImGui::End();
        ImGui::PopStyleVar();
        if (!open && top) PostToQueue(d.window, kUiCloseBox, 0, 0);
    }
    // Typed text has reached the fields now, so a latched Esc or Enter can go.
    if (top && d.pendingKey) {
        PostToQueue(d.window, kUiKey, d.pendingKey, 0);
        d.pendingKey = 0;
    }
}

}  // namespace

bool UiCreate(SDL_Window* window) { return BuildContext(window); }

void UiPrepareFontAtlas() {
    std::lock_guard<std::mutex> lock(prepared.mutex);
    if (ui.atlas || prepared.worker || prepared.atlas) return;
    prepared.worker = std::make_unique<BackgroundThread>([] {
        std::unique_ptr<ImFontAtlas> atlas = BuildFontAtlas();
        // Taken under the lock only after the join, so no lock is needed here.
        prepared.atlas = std::move(atlas);
    });
}

void UiDestroy() { TearDownContext(); }

bool UiActive() { return ui.context != nullptr; }

void UiProcessEvent(const SDL_Event& event) {
    if (!ui.context) return;
    ImGui::SetCurrentContext(ui.context);
    ImGui_ImplSDL2_ProcessEvent(&event);
}

void UiDrawOverlay(HWND window) {
    WindowObject* w = WindowOf(window);
    if (!ui.context || !w || w->kind != WindowObject::Kind::TopLevel || w->native != ui.window) return;
    ImGui::SetCurrentContext(ui.context);
    if (!EnsureGl()) return;
    ImGui_ImplOpenGL3_NewFrame();
    ImGui_ImplSDL2_NewFrame();
    // The SDL backend takes the pointer from the desktop-wide mouse state,
    // which SDL on X11 refreshes only on some events and not while a button
    // is held: a dragged thumb stayed where the button went down. The
    // window's own pointer position follows every motion event, also beyond
    // the window's edges while a button holds the mouse.
    ImGuiIO& io = ImGui::GetIO();
    if (ImGui::IsMousePosValid(&io.MousePos)) {
        int x = 0, y = 0;
        SDL_GetMouseState(&x, &y);
        io.MousePos = ImVec2(static_cast<float>(x), static_cast<float>(y));
    }
    ImGui::NewFrame();
    DrawMenuBar(*w);
    auto& stack = State().modalStack;
    for (size_t i = 0; i < stack.size(); ++i) {
        DialogRuntime* d = stack[i];
        if (d->ended || RootOf(WindowOf(d->root)) != w) continue;
        DrawDialog(*d, *w, i + 1 == stack.size());
    }
    ImGui::Render();
    ImGui_ImplOpenGL3_RenderDrawData(ImGui::GetDrawData());
    ui.lastFrame = MonotonicMilliseconds();
}

int UiMenuBarHeight() { return ui.menuBarHeight; }
bool UiMenuOpen() { return ui.menuOpen || ui.keys.active; }

bool UiOpenMenuBar(WindowObject& w) {
    MenuObject* menu = MenuOf(w.menu);
    if (!ui.context || !menu || w.disabledCount > 0) return false;
    const int top = NextTop(*menu, -1, 1);
    if (top < 0) return false;
    ui.menuWindow = &w;
    ui.keys.active = true;
    ui.keys.top = top;
    ui.keys.item = NextItem(*PopupAt(*menu, top), -1, 1);
    ui.closeMenus = false;
    return true;
}

void UiCloseMenus() {
    ui.keys.active = false;
    if (ui.menuOpen) ui.closeMenus = true;
}

void UiMenuKey(UINT virtualKey) {
    MenuObject* menu = ui.menuWindow ? MenuOf(ui.menuWindow->menu) : nullptr;
    if (!menu || !UiMenuOpen()) return;
    // Esc closes, as does what opened it: F10, or the pad's Start.
    if (virtualKey == VK_ESCAPE || virtualKey == VK_F10 || virtualKey == VK_APPS) {
        UiCloseMenus();
        return;
    }
    if (!ui.keys.active) {
        // A pop-up the mouse opened: the keys take it over from here.
        if (ui.openTop < 0) return;
        ui.keys = {true, ui.openTop, -1};
    }
    switch (virtualKey) {
        case VK_LEFT:
        case VK_RIGHT: {
            const int top = NextTop(*menu, ui.keys.top, virtualKey == VK_LEFT ? -1 : 1);
            if (top < 0) return;
            ui.keys.top = top;
            ui.keys.item = NextItem(*PopupAt(*menu, top), -1, 1);
            return;
        }
        case VK_UP:
        case VK_DOWN:
            if (const MenuObject* popup = PopupAt(*menu, ui.keys.top))
                ui.keys.item = NextItem(*popup, ui.keys.item, virtualKey == VK_UP ? -1 : 1);
            return;
        case VK_RETURN: {
            const MenuObject* popup = PopupAt(*menu, ui.keys.top);
            if (popup && ui.keys.item >= 0 && static_cast<size_t>(ui.keys.item) < popup->items.size()) {
                const MenuObject::Item& chosen = popup->items[ui.keys.item];
                if (Enabled(chosen)) PostToQueue(ui.menuWindow, WM_COMMAND, MAKEWPARAM(chosen.id, 0), 0);
            }
            UiCloseMenus();
            return;
        }
        default:
            return;
    }
}

bool UiTextPending() {
    if (!ui.context) return false;
    ImGui::SetCurrentContext(ui.context);
    return ImGui::GetIO().InputQueueCharacters.Size > 0;
}

std::uint64_t UiLastFrameTime() { return ui.lastFrame; }
int UiBaseUnitX() { return ui.baseX; }
int UiBaseUnitY() { return ui.baseY; }
