#include "app/resources/Resources.h"

#include <algorithm>
#include <iterator>

#include "platform/gui/messages.h"

namespace resources {

namespace {

struct Entry {
    std::uint32_t id;
    const char* text;
};

// The shell's texts, in ascending order of identifier.
constexpr Entry g_strings[] = {
    { 20000, "" },
    { 20001, "English (United States)" },
    { 20002, "Russian" },
    { 50013, "Tavelo" },
    // Tooltips of tool-bar buttons are the entries of their commands.
    { 50015, "First Frame" },
    { 50016, "Last Frame" },
    { 50019, "Previous Frame" },
    { 50020, "Next Frame" },
    { 50021, "Play Backward" },
    { 50022, "Pause" },
    { 50023, "Play Forward" },
    { 50024, "Loop" },
    { 50034, "Follow" },
    { 50043, "(Restart Required)" },
    { 50044, "The language settings will take effect next time you launch the program." },
    { 50045, "(Default)" },
    { 50059, "Preview" },
    { 50060, "Edit Mask" },
    { 50090, "Tavelo's settings could not be stored; the defaults will be used at the next start." },
    { 50091, "This command is not available in this version." },
    // The labels of the time controls; the tooltips of the zoom controls.
    { 56000, "Preview Frame:" },
    { 56001, "Framerate:" },
    { 56002, "Zoom" },
    { 56003, "Zoom In" },
    { 56004, "Zoom Out" },
    // The timeline: the name column's title; the tooltips of the
    // navigator, the thumb line, the ruler and the scale controls.
    { 57000, "Name" },
    { 57001, "Visible Area Start" },
    { 57002, "Visible Area End" },
    { 57003, "Visible Area" },
    { 57004, "Current Frame" },
    { 57006, "Navigator" },
    { 57007, "Work Area Start" },
    { 57008, "Work Area End" },
    { 57009, "Work Area" },
    { 57010, "Time Ruler" },
    { 57011, "Time Scale" },
    { 57012, "Zoom In (+)" },
    { 57013, "Zoom Out (-)" },
    { 57643, "Undo" },
    { 57644, "Redo" },
    { 60001, "Hand (H)" },
    { 60002, "Zoom (Z)" },
    { 60101, "Brush" },
    { 60102, "Fill" },
};

static_assert(std::is_sorted(
    std::begin(g_strings), std::end(g_strings), [](const Entry& a, const Entry& b) { return a.id < b.id; }));

using platform::gui::menu_entry;

menu_entry Item(std::uint32_t id, const char* text, bool grayed = false)
{
    menu_entry e;
    e.id = id;
    e.text = text;
    e.grayed = grayed;
    return e;
}

menu_entry Separator()
{
    menu_entry e;
    e.separator = true;
    return e;
}

menu_entry Popup(const char* text, std::vector<menu_entry> entries)
{
    menu_entry e;
    e.popup = true;
    e.text = text;
    e.entries = std::move(entries);
    return e;
}

constexpr unsigned S = platform::gui::MOD_SHIFT;
constexpr unsigned C = platform::gui::MOD_CONTROL;
constexpr unsigned A = platform::gui::MOD_ALT;
constexpr unsigned VK_F6 = VK_F1 + 5;
constexpr unsigned VK_NUMPAD0 = 0x60;

} // namespace

bool FindBuiltInString(std::uint32_t id, std::string& text)
{
    auto it = std::lower_bound(std::begin(g_strings), std::end(g_strings), id,
        [](const Entry& entry, std::uint32_t key) { return entry.id < key; });
    if (it == std::end(g_strings) || it->id != id)
        return false;
    text = it->text;
    return true;
}

std::vector<menu_entry> MainMenu()
{
    return {
        Popup("&File",
            { Item(57600, "&New Project...\tCtrl+N"), Item(57601, "&Open...\tCtrl+O"),
                Item(57603, "&Save\tCtrl+S"), Item(57604, "Save &As...", true), Separator(),
                Item(57602, "&Close Project"), Separator(), Item(33128, "Import Background..."), Separator(),
                Item(33204, "Export Crisp Masks..."), Item(33205, "Export Smooth Masks..."),
                Item(33213, "Render..."), Separator(),
                Popup("&Preferences",
                    { Item(33127, "Cache..."), Item(33212, "Rendering..."),
                        Popup("Language", { Item(33209, "English"), Item(33210, "Russian") }) }),
                Separator(), Item(57616, "Recent File", true), Separator(), Item(57665, "E&xit") }),
        Popup("&Edit",
            { Item(57643, "&Undo\tCtrl+Z"), Item(57644, "Redo\tShift+Ctrl+Z"), Separator(),
                Item(57635, "Cu&t\tCtrl+X"), Item(57634, "&Copy\tCtrl+C"), Item(57637, "&Paste\tCtrl+V"),
                Item(57632, "Clear\tDel") }),
        Popup("&Segment",
            { Item(32773, "&New Segment\tCtrl+Shift+N"), Item(32854, "New from Active"),
                Item(33203, "&Delete Active\tDel"), Separator(), Item(50057, "Set Front End\tAlt+]"),
                Item(50056, "Set Back End\tAlt+["), Separator(), Item(50041, "Activate below\tCtrl+Down"),
                Item(50042, "Activate above\tCtrl+Up"), Item(50058, "Deactivate\tCtrl+D"), Separator(),
                Item(32804, "Import Key Mask..."), Item(32832, "Export Key Mask..."), Separator(),
                Item(33224, "Copy Contour"), Item(33225, "Export Contour..."), Separator(),
                Item(50046, "&Process\tEnter"), Item(50047, "&Cancel\tEsc"), Item(33125, "&Trim"),
                Item(33227, "Reset Parameters"), Separator(), Item(33105, "Process All"),
                Item(33106, "Cancel All") }),
        Popup("&Display",
            { Item(50059, "Preview"), Item(50060, "Edit Mask\tM"), Separator(),
                Item(65000, "Zoom In\tCtrl++"), Item(65001, "Zoom Out\tCtrl+ -"),
                Item(65002, "Fit on Screen\tCtrl+0"), Item(65003, "Actual Pixels\tAlt+Ctrl+0") }),
        Popup("&Time",
            { Item(50015, "First Frame\tHome"), Item(50016, "Last Frame\tEnd"), Separator(),
                Item(50017, "Work Area Start\tShift+Home"), Item(50018, "Work Area End\tShift+End"),
                Separator(), Item(50019, "Previous Frame\tCtrl+Left"), Item(50020, "Next Frame\tCtrl+Right"),
                Separator(), Item(50023, "Play Forward\tSpace"), Item(50022, "Pause\tSpace"),
                Item(50021, "Play Backward\tAlt+Space"), Separator(), Item(50039, "Segment Back End\tI"),
                Item(50040, "Segment Front End\tO"), Separator(), Item(50025, "Go to Frame...\tCtrl+G"),
                Separator(), Item(50034, "Follow"), Item(50035, "Auto Follow"), Separator(),
                Item(50024, "Loop"), Separator(), Item(33207, "RAM Preview") }),
        Popup("Time&line",
            { Item(50037, "Zoom In\t+"), Item(50038, "Zoom Out\t-"),
                Item(50036, "Fit in Window\tCtrl+Alt+Home"), Separator(), Item(50050, "&Begin Work Area\tB"),
                Item(50051, "E&nd Work Area\tN") }),
        Popup("&View",
            { Item(50048, "&Right Panels"), Item(50049, "&Bottom Panels"), Item(59393, "&Status Bar") }),
        Popup("&Help", { Item(57664, "&About Tavelo...") }),
    };
}

const std::vector<Accelerator>& MainAccelerators()
{
    static const std::vector<Accelerator> table = {
        { 'M', 0, 50060 },
        { '1', 0, 33231 },
        { '2', 0, 33233 },
        { '3', 0, 33234 },
        { '4', 0, 33235 },
        { '5', 0, 33236 },
        { VK_DELETE, 0, 57632 },
        { 'C', C, 57634 },
        { VK_INSERT, C, 57634 },
        { VK_DELETE, S, 57635 },
        { 'X', C, 57635 },
        { 'V', C, 57637 },
        { VK_INSERT, S, 57637 },
        { 'Z', C | S, 57644 },
        { 'Z', C, 57643 },
        { VK_BACK, A, 57643 },
        { 'N', C, 57600 },
        { 'O', C, 57601 },
        { 'S', C, 57603 },
        { VK_F6, 0, 57680 },
        { VK_F6, S, 57681 },
        { VK_UP, C, 50042 },
        { VK_DOWN, C, 50041 },
        { VK_ESCAPE, 0, 50047 },
        { 'D', C, 50058 },
        { 'N', C | S, 32773 },
        { VK_RETURN, 0, 50046 },
        { VK_OEM_4, A, 50056 },
        { VK_OEM_6, A, 50057 },
        { VK_HOME, 0, 50015 },
        { VK_END, 0, 50016 },
        { 'G', C, 50025 },
        { VK_NEXT, 0, 50020 },
        { VK_RIGHT, C, 50020 },
        { VK_PRIOR, 0, 50019 },
        { VK_LEFT, C, 50019 },
        { VK_SPACE, A, 50031 },
        { VK_NUMPAD0, 0, 50030 },
        { 'I', 0, 50039 },
        { 'O', 0, 50040 },
        { VK_HOME, S, 50017 },
        { VK_END, S, 50018 },
        { VK_HOME, C | A, 50036 },
        { VK_ADD, 0, 50037 },
        { VK_SUBTRACT, 0, 50038 },
        { 'B', 0, 50050 },
        { 'N', 0, 50051 },
        { '0', C, 65002 },
        { '0', C | A, 65003 },
        { VK_ADD, C, 65000 },
        { '=', C, 65000 },
        { VK_SUBTRACT, C, 65001 },
        { 'H', 0, 60001 },
        { 'Z', 0, 60002 },
    };
    return table;
}

std::uint32_t FindAccelerator(unsigned key, unsigned modifiers)
{
    for (const Accelerator& a : MainAccelerators())
        if (a.key == key && a.modifiers == modifiers)
            return a.command;
    return 0;
}

} // namespace resources
