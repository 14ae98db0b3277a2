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
    bool menuOpen = false;
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

void DrawMenuItems(WindowObject& w, MenuObject& menu, const std::string& path) {
    for (size_t i = 0; i < menu.items.size(); ++i) {
        MenuObject::Item& item = menu.items[i];
        bool enabled = !(item.flags & (MF_GRAYED | MF_DISABLED));
        std::string id = path + "." + std::to_string(i);
        if (item.flags & MF_SEPARATOR) {
            ImGui::Separator();
        } else if (item.popup) {
            if (ImGui::BeginMenu(Label(item.text, id.c_str(), i).c_str(), enabled)) {
                ui.menuOpen = true;
                DrawMenuItems(w, *item.popup, id);
                ImGui::EndMenu();
            }
        } else if (ImGui::MenuItem(Label(item.text, id.c_str(), i).c_str(), nullptr, (item.flags & MF_CHECKED) != 0,
                                   enabled)) {
            PostToQueue(&w, WM_COMMAND, MAKEWPARAM(item.id, 0), 0);
        }
    }
}

void DrawMenuBar(WindowObject& w) {
    MenuObject* menu = MenuOf(w.menu);
    if (!menu) return;
    if (!ImGui::BeginMainMenuBar()) return;
    // A window under a modal dialog has no working menu.
    ImGui::BeginDisabled(w.disabledCount > 0);
    DrawMenuItems(w, *menu, "m");
    ImGui::EndDisabled();
    ImGui::EndMainMenuBar();
}

int TextFilter(ImGuiInputTextCallbackData* data) {
    if (data->EventFlag == ImGuiInputTextFlags_CallbackCharFilter)
        return data->EventChar >= 0x20 && HasWindows1252Byte(data->EventChar) ? 0 : 1;
    return 0;
}

ImU32 Color(ImGuiCol which) { return ImGui::GetColorU32(which); }

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
            break;
        }
        case ControlRuntime::Kind::Edit: {
            if (d.editBuffers.size() != d.controls.size()) d.editBuffers.resize(d.controls.size());
            std::string& buffer = d.editBuffers[i];
            if (Windows1252FromUtf8(buffer) != c.text) buffer = Utf8FromWindows1252(c.text);
            ImGui::PushStyleVar(ImGuiStyleVar_FramePadding, ImVec2(3.0f, std::min(padY, 3.0f)));
            ImGui::PushStyleVar(ImGuiStyleVar_FrameBorderSize, (c.item.style & WS_BORDER) ? 1.0f : 0.0f);
            ImGui::SetCursorScreenPos(ImVec2(min.x, min.y + std::max(0.0f, (h - frameHeight) * 0.5f)));
            ImGui::SetNextItemWidth(w);
            if (static_cast<int>(i) == d.focusControl && !d.focusApplied) {
                ImGui::SetKeyboardFocusHere();
                d.focusApplied = true;
            }
            ImGuiInputTextFlags flags = ImGuiInputTextFlags_CallbackCharFilter;
            if (c.readOnly) flags |= ImGuiInputTextFlags_ReadOnly;
            if (ImGui::InputText(Label("", "e", i).c_str(), &buffer, flags, TextFilter))
                c.text = Windows1252FromUtf8(buffer);
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
    float top = w.menu ? static_cast<float>(ui.menuBarHeight) : 0.0f;
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
    ui.menuOpen = false;
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
bool UiMenuOpen() { return ui.menuOpen; }

bool UiTextPending() {
    if (!ui.context) return false;
    ImGui::SetCurrentContext(ui.context);
    return ImGui::GetIO().InputQueueCharacters.Size > 0;
}

std::uint64_t UiLastFrameTime() { return ui.lastFrame; }
int UiBaseUnitX() { return ui.baseX; }
int UiBaseUnitY() { return ui.baseY; }
