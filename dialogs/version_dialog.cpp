#include "version_dialog.h"

#include <commctrl.h>

#include <cstdint>
#include <cstring>
#include <cwchar>

#include "appstate.h"
#include "controls.h"
#include "dialog_face.h"
#include "drive_table.h"
#include "format_text.h"
#include "resource_ids.h"
#include "ui_text.h"
#include "version_info.h"
#include "wide_text.h"
#include "window_services.h"

DialogFont versionTitleFont;
DialogFont versionLineFont;

namespace {

// Arial bold, a little larger for the description than for the two lines
// under it.
constexpr const char* TITLE_FACE = "Arial";
constexpr LONG TITLE_WEIGHT = FW_BOLD;  // 700
constexpr LONG FONT_A_HEIGHT = 18;
constexpr LONG FONT_A_WIDTH = 8;
constexpr LONG FONT_B_HEIGHT = 16;
constexpr LONG FONT_B_WIDTH = 7;

constexpr const char* KEY_DESCRIPTION = "FileDescription";
constexpr const char* KEY_VERSION = "FileVersion";
constexpr const char* KEY_COPYRIGHT = "LegalCopyright";
constexpr const char* VERSION_LINE_PREFIX = "Version ";  // then the version

// GetModuleFileNameW is given room for this many characters, the terminator
// included; a path that fills it is cut short and names no file.
constexpr DWORD MODULE_PATH_LIMIT = MAX_PATH - 1;
// The speed texts of one drive row are built in a buffer of this size.
constexpr std::size_t SPEED_TEXT_SIZE = 260;
constexpr std::size_t CELL_TEXT_SIZE = 64;

constexpr DWORD LIST_EXTENDED_STYLES =
    LVS_EX_GRIDLINES | LVS_EX_HEADERDRAGDROP | LVS_EX_FULLROWSELECT;

// A column table ends with an empty title. Widths in pixels.
struct ListColumn {
    unsigned title;  // a string id; 0 ends a list
    int width;
};

enum DriveColumn {
    DRIVE_ADDRESS,
    DRIVE_VENDOR,
    DRIVE_PRODUCT,
    DRIVE_VERSION,
    DRIVE_SPIN_DOWN,
    DRIVE_SPEED,
    DRIVE_SUPPORT_SPEEDS
};
constexpr ListColumn DRIVE_COLUMNS[] = {
    {IDS_COLUMN_ADDRESS, 50},   {IDS_COLUMN_VENDOR, 70},
    {IDS_COLUMN_PRODUCT, 120},  {IDS_COLUMN_VERSION, 60},
    {IDS_COLUMN_SPIN_DOWN, 70}, {IDS_COLUMN_SPEED, 50},
    {IDS_COLUMN_SPEEDS, 300},   {0, 0},
};

enum AspiColumn { ASPI_ITEM, ASPI_VALUE };
constexpr ListColumn ASPI_COLUMNS[] = {{IDS_COLUMN_ITEM, 170}, {IDS_COLUMN_VALUE, 200}, {0, 0}};

constexpr const char* ADDRESS_FORMAT = "%02d:%02d";
constexpr const char* FACTOR_FORMAT = "x%d";
constexpr const char* SPEED_LIST_FORMAT = "x%d ";  // each factor followed by a blank
constexpr const char* DLL_VERSION_FORMAT = "%d.%d.%d.%d (0x%08X)";
constexpr const char* ENTRY_ITEM_FORMAT = "%s()";
constexpr const char* NUMBER_FORMAT = "%u";  // a count far past 2^31 stays positive

void InsertColumns(HWND list, const ListColumn* columns) {
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LIST_EXTENDED_STYLES);
    for (int i = 0; columns[i].title != 0; ++i) {
        const WideText title(UiText(columns[i].title));
        LVCOLUMNW column = {};
        column.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.fmt = LVCFMT_LEFT;
        column.cx = columns[i].width;
        column.pszText = const_cast<wchar_t*>(title.Get());
        column.iSubItem = i;
        SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(i),
                     reinterpret_cast<LPARAM>(&column));
    }
}

// A new row at index row with its first column's text; the row's index.
int InsertRow(HWND list, int row, const char* text) {
    const WideText wide(text);
    LVITEMW item = {};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.pszText = const_cast<wchar_t*>(wide.Get());
    return static_cast<int>(
        SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
}

void SetCellText(HWND list, int row, int column, const wchar_t* text) {
    LVITEMW item = {};
    item.iSubItem = column;
    item.pszText = const_cast<wchar_t*>(text);
    SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

void SetCell(HWND list, int row, int column, const char* text) {
    SetCellText(list, row, column, WideText(text));
}

// The drive record's texts fill their arrays to the end when the drive's
// own do: copy at most that much.
void SetDriveText(HWND list, int row, int column, const char (&text)[DRIVE_TEXT_SIZE]) {
    char copy[DRIVE_TEXT_SIZE + 1] = {};
    std::memcpy(copy, text, DRIVE_TEXT_SIZE);
    SetCell(list, row, column, copy);
}

int Factor(std::uint32_t speed) { return static_cast<int>(CdromDevice::SpeedToFactor(speed)); }

void FillDriveRow(HWND list, int row, const DriveEntry& drive) {
    char text[SPEED_TEXT_SIZE];
    FormatText(text, sizeof text, ADDRESS_FORMAT, drive.hostAdapter, drive.targetId);
    InsertRow(list, row, text);
    SetDriveText(list, row, DRIVE_VENDOR, drive.vendor);
    SetDriveText(list, row, DRIVE_PRODUCT, drive.product);
    SetDriveText(list, row, DRIVE_VERSION, drive.version);
    char spinDown[SPIN_DOWN_TEXT_SIZE];
    SetCell(list, row, DRIVE_SPIN_DOWN,
            DriveSpinDownText(static_cast<std::uint32_t>(row), spinDown));
    FormatText(text, sizeof text, FACTOR_FORMAT, Factor(drive.currentSpeed));
    SetCell(list, row, DRIVE_SPEED, text);
    std::size_t used = 0;
    text[0] = '\0';
    const std::uint32_t count = drive.speedCount < MAX_SPEEDS ? drive.speedCount : MAX_SPEEDS;
    for (std::uint32_t k = 0; k < count && used < sizeof text; ++k) {
        const int written =
            FormatText(text + used, sizeof text - used, SPEED_LIST_FORMAT, Factor(drive.speeds[k]));
        if (written < 0) break;
        used += static_cast<std::size_t>(written);
    }
    SetCell(list, row, DRIVE_SUPPORT_SPEEDS, text);
}

void AddAspiRow(HWND list, const char* item, const char* value) {
    const int row =
        InsertRow(list, static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)), item);
    SetCell(list, row, ASPI_VALUE, value);
}

void AddAspiRow(HWND list, const char* item, const wchar_t* value) {
    const int row =
        InsertRow(list, static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)), item);
    SetCellText(list, row, ASPI_VALUE, value);
}

void AddNumberRow(HWND list, const char* item, std::uint32_t value) {
    char text[CELL_TEXT_SIZE];
    FormatText(text, sizeof text, NUMBER_FORMAT, static_cast<unsigned>(value));
    AddAspiRow(list, item, text);
}

void FillTitleLines(HWND dialog, VersionInfo& info) {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MODULE_PATH_LIMIT);
    if (length == 0 || length >= MODULE_PATH_LIMIT || !info.Load(path)) return;
    SetDlgItemTextW(dialog, IDC_VERSION_TITLE, info.GetStringW(KEY_DESCRIPTION));
    // "Version %s", the version in UTF-16 as the resource holds it.
    const WideText prefix(VERSION_LINE_PREFIX);
    const wchar_t* version = info.GetStringW(KEY_VERSION);
    wchar_t line[SPEED_TEXT_SIZE] = {};
    const std::size_t used =
        prefix.Length() < SPEED_TEXT_SIZE ? prefix.Length() : SPEED_TEXT_SIZE - 1;
    std::wmemcpy(line, prefix.Get(), used);
    for (std::size_t i = 0; version[i] && used + i + 1 < SPEED_TEXT_SIZE; ++i)
        line[used + i] = version[i];
    SetDlgItemTextW(dialog, IDC_VERSION_NUMBER, line);
    SetDlgItemTextW(dialog, IDC_VERSION_COPYRIGHT, info.GetStringW(KEY_COPYRIGHT));
    info.Clear();
}

void FillDriveList(HWND list) {
    InsertColumns(list, DRIVE_COLUMNS);
    const std::uint32_t count =
        appState->driveCount < MAX_DRIVES ? appState->driveCount : MAX_DRIVES;
    for (std::uint32_t d = 0; d < count; ++d)
        FillDriveRow(list, static_cast<int>(d), appState->drives[d]);
}

// The rows describe the file aspiDll names now; which entry points are
// there is what the library bound at start-up offers.
void FillAspiList(HWND list, VersionInfo& info, const AspiBinding* library) {
    InsertColumns(list, ASPI_COLUMNS);
    const char* module = appState->aspiDll.String(0);
    if (!info.Load(module)) return;
    AddAspiRow(list, UiText(IDS_ITEM_MODULE), module);
    AddAspiRow(list, UiText(IDS_ITEM_DESCRIPTION), info.GetStringW(KEY_DESCRIPTION));
    AddAspiRow(list, UiText(IDS_ITEM_VERSION), info.GetStringW(KEY_VERSION));

    char text[CELL_TEXT_SIZE];
    const std::uint32_t version = library ? library->GetDllVersion() : 0;
    // Its bytes from the least significant up, then the whole value.
    FormatText(text, sizeof text, DLL_VERSION_FORMAT, LOBYTE(LOWORD(version)),
               HIBYTE(LOWORD(version)), LOBYTE(HIWORD(version)), HIBYTE(HIWORD(version)),
               static_cast<unsigned>(version));
    AddAspiRow(list, UiText(IDS_ITEM_DLL_VERSION), text);

    const std::uint32_t entries = library ? library->GetEntryCount() : 0;
    for (std::uint32_t i = 0; i < entries; ++i) {
        int found = 0;
        const char* name = library->GetEntryInfo(i, found);
        if (!name) break;
        FormatText(text, sizeof text, ENTRY_ITEM_FORMAT, name);
        AddAspiRow(list, text, UiText(found ? IDS_SUPPORTED : IDS_NOT_SUPPORTED));
    }

    AddNumberRow(list, UiText(IDS_ITEM_MAX_DRIVES), MAX_DRIVES);
    AddNumberRow(list, UiText(IDS_ITEM_MAX_SPEEDS), MAX_SPEEDS);
    AddNumberRow(list, UiText(IDS_ITEM_ERROR_COUNT), appState->errorCount);
    AddNumberRow(list, UiText(IDS_ITEM_RECORD_SIZE), static_cast<std::uint32_t>(sizeof(AppState)));
    info.Clear();
}

void Initialise(HWND dialog, const AspiBinding* library) {
    appState->versionDialog = dialog;
    PlaceWindow(dialog, PLACE_CENTRE);
    // Style 8 has no icon: the dialog keeps the one its template shows.
    if (HICON icon = IconOfType(*appState, appState->iconType)) {
        SendMessageW(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
        SendMessageW(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
        SendDlgItemMessageW(dialog, IDC_VERSION_ICON, STM_SETICON, reinterpret_cast<WPARAM>(icon),
                            0);
    }
    KeepJapaneseReadable(dialog);
    // A font that cannot be made leaves its lines in the dialog's font.
    if (versionTitleFont.Create(FONT_A_HEIGHT, FONT_A_WIDTH, ANSI_CHARSET, TITLE_FACE,
                                TITLE_WEIGHT))
        versionTitleFont.ApplyToItem(dialog, IDC_VERSION_TITLE);
    if (versionLineFont.Create(FONT_B_HEIGHT, FONT_B_WIDTH, ANSI_CHARSET, TITLE_FACE,
                               TITLE_WEIGHT)) {
        versionLineFont.ApplyToItem(dialog, IDC_VERSION_NUMBER);
        versionLineFont.ApplyToItem(dialog, IDC_VERSION_COPYRIGHT);
    }
    VersionInfo info;
    FillTitleLines(dialog, info);
    FillDriveList(GetDlgItem(dialog, IDC_VERSION_DRIVES));
    FillAspiList(GetDlgItem(dialog, IDC_VERSION_ASPI), info, library);
}

void Close(HWND dialog) {
    versionLineFont.Delete();
    versionTitleFont.Delete();
    appState->versionDialog = nullptr;
    EndDialog(dialog, 1);
}

}  // namespace

INT_PTR CALLBACK VersionDialogProc(HWND dialog, UINT message, WPARAM, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        Initialise(dialog, reinterpret_cast<const AspiBinding*>(lParam));
        return TRUE;
    case WM_COMMAND:
        // The button, Esc and the close box all close it.
        Close(dialog);
        return TRUE;
    default: return FALSE;
    }
}

void RunVersionDialog(HWND owner, const AspiBinding& library) {
    if (!appState) return;
    // One at a time: a second one would make the fonts afresh, deleting those
    // the first one shows, and its end would clear versionDialog under it.
    if (appState->versionDialog && IsWindow(appState->versionDialog)) {
        ForceForeground(appState->versionDialog);
        return;
    }
    // The list views' window class; the program may open this dialog before
    // any other that needs the common controls.
    RegisterControlClasses(ICC_LISTVIEW_CLASSES);
    if (const LPCDLGTEMPLATEW dialog = UiDialogTemplate(appState->instance, IDD_VERSION))
        DialogBoxIndirectParamW(appState->instance, dialog, owner, VersionDialogProc,
                                reinterpret_cast<LPARAM>(&library));
}
