#include "test_language.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "appstate.h"
#include "settings.h"
#include "ui_text.h"

namespace testsupport {

namespace {

// Every fixed text of the user interface in both languages, written here
// from what the program is meant to show, not read from its resources.
const char* const PAIRS[][2] = {
    {"エラー情報", "korvex - Error"},
    {"確認情報", "korvex"},
    {"CSTRクラスでエラーが発生しました。",
     "korvex ran out of memory for its texts and will close."},
    {"メモリの確保に失敗しました。", "Out of memory."},
    {"既に起動しています。", "korvex is already running."},
    {"ASPI32の生成に失敗しました。", "The ASPI32 library could not be loaded."},
    {"タスクトレイアイコンの生成に失敗しました。",
     "The notification area icon could not be added."},
    {"タイマーの生成に失敗しました。", "A timer could not be created."},
    {"未知のタイマーイベントを検出しました。", "An unknown timer event occurred."},
    {"ホストアダプタ情報取得に失敗しました。", "Could not read a host adapter's details."},
    {"デバイス情報取得に失敗しました。", "Could not read a device's details."},
    {"設定ファイルを読み込めなかったため、設定を書き込みませんでした。",
     "The settings file could not be read, so the settings were not saved."},
    {"設定ファイル KORVEX.INI に書き込めなかったため、設定を保存できませんでした。",
     "The settings could not be saved: KORVEX.INI cannot be written."},
    {"変更したASPI32用DLLは\r\n次回起動時から有効になります。",
     "The new ASPI32 library will be used\r\nthe next time korvex starts."},
    {"転送速度の値が異常です。\r\n値を無視しました。",
     "The read speed is not valid.\r\nIt was ignored."},
    {"選択したファイルの名前はKORVEX.INIに書き込めません。",
     "The name of the chosen file cannot be stored in KORVEX.INI."},
    {"制御の再開", "Resume control"},
    {"バージョン情報", "About korvex"},
    {"プログラムの終了", "Exit"},
    {"設定の読み込み", "Reload settings"},
    {"設定の書き込み", "Save settings"},
    {"再スキャン", "Rescan drives"},
    {"制御の一時停止", "Pause control"},
    {"設定画面", "Settings..."},
    {"速度は設定できません", "speed cannot be set"},
    {"開ける", "Open tray"},
    {"閉じる", "Close tray"},
    {"取り出し", "Eject"},
    {"自動開閉", "Open, then close"},
    {"ロック", "Lock tray"},
    {"アンロック", "Unlock tray"},
    {"共通", "General"},
    {"ドライブ", "Drives"},
    {"メディア制御", "Trays"},
    {"ASPI32の選択", "Choose the ASPI32 library"},
    {"ダイナミックリンクライブラリ", "Libraries (*.dll)"},
    {"Adaptec社製", "Adaptec (WNASPI32.DLL)"},
    {"Nero社製", "Nero (NEROASPI.DLL)"},
    {"NexiTech社製", "NexiTech (WNASPINT.DLL)"},
    {"全てのファイル", "All files (*.*)"},
    {"メディア 標準", "Disc, standard"},
    {"メディア カラフル", "Disc, colorful"},
    {"メディア シンプル", "Disc, simple"},
    {"メディア モノクロ", "Disc, monochrome"},
    {"ドライブ 標準", "Drive, standard"},
    {"ドライブ カラフル", "Drive, colorful"},
    {"ドライブ シンプル", "Drive, simple"},
    {"ドライブ モノクロ", "Drive, monochrome"},
    {"Windows の設定に従う", "Same as Windows"},
    {"日本語", "Japanese"},
    {"VENDOR", "Vendor"},
    {"PRODUCT", "Product"},
    {"VERSION", "Revision"},
    {"SPINDOWN", "Spin-down"},
    {"SPEED", "Speed"},
    {"SUPPORT SPEEDS", "Supported speeds"},
    {"ITEM", "Item"},
    {"VALUE", "Value"},
    {"ASPI32 Module", "ASPI32 library"},
    {"ASPI32 Description", "Description"},
    {"ASPI32 Version", "Version"},
    {"ASPI32 DLL Version", "DLL version"},
    {"Max support drives", "Maximum drives"},
    {"Max support speeds", "Maximum speeds per drive"},
    {"Internal error count", "Internal errors"},
    {"Resource structure", "State record size"},
    {"Supported", "Yes"},
    {"Not supported", "No"},
    // The dialogs' templates
    {"設 定", "OK"},
    {"中 止", "Cancel"},
    {"確 認", "OK"},
    {"休止状態から復帰したら再設定する", "Set the speeds again after resuming from sleep"},
    {"メニュー表示を左右入れ替える", "Swap the left and right button menus"},
    {"バルーンに全てのデバイスを表示する", "List every drive in the balloon"},
    {"トレイアイコンでバルーンを自動表示する", "Show the balloon when pointing at the icon"},
    {"エラーメッセージを抑制する", "Do not show error messages"},
    {"トレイアイコン", "Tray icon:"},
    {"表示言語", "Language:"},
    {"転送速度", "Read speed:"},
    {"停止時間", "Spin-down time:"},
    {"選択を無効にする", "Do not control this drive"},
    {"選択を非表示にする", "Hide it from the speed menu"},
    {"リムーバブルメディア制御を利用する", "Control removable media"},
    {"トレイの自動開閉を有効にする", "Offer to open a tray and close it again"},
    {"トレイを開けてから", "Close the tray after"},
    {"秒後に閉じる", "seconds"},
    {"メディアのロック機能を有効にする", "Allow locking and unlocking trays"},
    {"キーボード制御を有効にする", "Open and close trays with Alt+1 ... Alt+0"},
};

// The caption of a dialog, which differs from its menu item.
const char* const CAPTIONS[][2] = {
    {"設定画面", "korvex Settings"},
    {"バージョン情報", "About korvex"},
};

std::string English(const std::string& japanese) {
    for (const auto& pair : PAIRS)
        if (japanese == pair[0]) return pair[1];
    return japanese;
}

}  // namespace

std::int32_t TestLanguageSetting() {
    const char* name = std::getenv("KORVEX_TEST_LANGUAGE");
    if (name && std::strcmp(name, "Japanese") == 0) return LANGUAGE_JAPANESE;
    if (name && std::strcmp(name, "English") == 0) return LANGUAGE_ENGLISH;
    return LANGUAGE_WINDOWS;
}

std::string ForcedLanguageName() {
    switch (TestLanguageSetting()) {
    case LANGUAGE_JAPANESE: return "Japanese";
    case LANGUAGE_ENGLISH: return "English";
    default: return "";
    }
}

void ApplyTestLanguage() {
    const std::int32_t setting = TestLanguageSetting();
    if (appState) {
        appState->language = setting;
        ApplyLanguageSetting();
    } else {
        UseUiLanguage(LanguageOfSetting(setting));
    }
}

bool ExpectEnglish() {
    switch (TestLanguageSetting()) {
    case LANGUAGE_JAPANESE: return false;
    case LANGUAGE_ENGLISH: return true;
    default: return PRIMARYLANGID(GetUserDefaultUILanguage()) != LANG_JAPANESE;
    }
}

std::string Say(const std::string& japanese) {
    if (!ExpectEnglish()) return japanese;
    const std::string whole = English(japanese);
    if (whole != japanese) return whole;
    std::string out;
    std::size_t start = 0;
    while (start <= japanese.size()) {
        const std::size_t end = japanese.find_first_of("|\n", start);
        const std::size_t stop = end == std::string::npos ? japanese.size() : end;
        out += English(japanese.substr(start, stop - start));
        if (end == std::string::npos) break;
        out += japanese[end];
        start = end + 1;
    }
    return out;
}

std::string SayLine(const std::string& line) {
    if (!ExpectEnglish()) return line;
    std::string out;
    std::size_t start = 0;
    for (;;) {
        const std::size_t tab = line.find('\t', start);
        const std::string part =
            line.substr(start, tab == std::string::npos ? std::string::npos : tab - start);
        const std::size_t text = part.find_first_not_of(' ');
        if (text == std::string::npos) {
            out += part;
        } else {
            std::size_t end = std::min(part.find(" #", text), part.find(" >", text));
            if (end == std::string::npos) end = part.size();
            out += part.substr(0, text) + English(part.substr(text, end - text)) + part.substr(end);
        }
        if (tab == std::string::npos) return out;
        out += '\t';
        start = tab + 1;
    }
}

std::vector<std::string> SayLines(std::vector<std::string> lines) {
    for (std::string& line : lines) line = SayLine(line);
    return lines;
}

std::string SayCaption(const std::string& japanese) {
    if (ExpectEnglish())
        for (const auto& pair : CAPTIONS)
            if (japanese == pair[0]) return pair[1];
    return japanese;
}

}  // namespace testsupport
