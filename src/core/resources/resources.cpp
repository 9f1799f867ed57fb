#include "resources/resources.h"

#include <unordered_map>

#include "command/command_ids.h"

namespace octile {

namespace {

const std::unordered_map<uint32_t, std::u16string>& Table() {
    static const std::unordered_map<uint32_t, std::u16string> table = {
        {ID_FILE_HEXLIST, u"16進表示でﾃｷｽﾄﾌｧｲﾙへ保存\n16進ﾌｧｲﾙ格納"},
        {ID_INDICATOR_ADDR, u"Addr=FFFFFFFFF-FFFFFFFFF"},
        {ID_INDICATOR_MODE, u"R"},
        {ID_INDICATOR_CODE, u"SJIS"},
        {ID_INDICATOR_MARK1, u"M"},
        {ID_INDICATOR_MARK2, u"M"},
        {ID_INDICATOR_MARK3, u"M"},
        {ID_INDICATOR_MARK4, u"M"},
        {ID_INDICATOR_MARK5, u"M"},
        {ID_PAGE_PREV, u"前の頁を表示\n前頁"},
        {ID_PAGE_NEXT, u"次の頁を表示\n次頁"},
        {ID_JUMP, u"指定したｱﾄﾞﾚｽへ移動\nｼﾞｬﾝﾌﾟ"},
        {ID_SEARCH, u"文字列または16進数を検索\n検索"},
        {ID_READ_SIZE, u"画面表示するﾌｧｲﾙのﾊﾞｲﾄ数を指定\n読み込みｻｲｽﾞ"},
        {ID_READ_ONLY, u"読み取り専用と書き込み可能を切り替え\n読み取り専用"},
        {ID_VIEW_FONT, u"表示するﾌｫﾝﾄを指定\nﾌｫﾝﾄ"},
        {IDS_ABOUT_RESET_QUESTION, u"Octileのレジストリを削除して終了します。いいですか。"},
        {IDS_REPLACE_QUESTION, u"置換します。いいですか。（中止する場合はｷｬﾝｾﾙ）"},
        {IDR_MAINFRAME, u"Octile ﾊﾞｲﾅﾘｴﾃﾞｨﾀ\n\nOctile\n\n\nOctile.Document\nOctile Document"},
        {ID_SEARCH_NEXT, u"次を検索\n次の検索"},
        {ID_SEARCH_MODE_STRING, u"文字列検索\n文字列検索"},
        {ID_HELP_HISTORY, u"変更歴を表示します。\n変更歴"},
        {ID_SEARCH_MODE_HEX, u"16進検索\n16進検索"},
        {ID_HELP_README, u"使用方法を表示します。\n使用方法"},
        {ID_VIEW_COLOR, u"表示する色を指定\n色"},
        {ID_CODE_SJIS, u"表示する文字ｺｰﾄﾞをｼﾌﾄJISに指定\nｼﾌﾄJIS"},
        {ID_CODE_UNICODE, u"表示する文字ｺｰﾄﾞをUnicodeに指定\nUnicode"},
        {ID_SETTINGS, u"初期設定の指定を行う\n環境設定"},
        {ID_HELP_SETTING, u"比較方法の初期値の定義内容です。\n定義内容"},
        {ID_VIEW_BKCOLOR, u"背景の色を指定\n背景色"},
        {ID_VIEW_PICTURE, u"選択位置の画像を表示\n画像表示"},
        {ID_VIEW_INSPECTOR, u"ｶｰｿﾙ位置のﾃﾞｰﾀを数値や文字で表示\nﾃﾞｰﾀ表示"},
        {ID_SEARCH_PREV, u"前を検索\n前の検索"},
        {ID_REPLACE, u"文字列または16進数を置換\n置換"},
        {ID_FILE_SAVE_BITMAP, u"表示中の画像をBITMAPﾌｧｲﾙへ保存\nBITMAP保存"},
        {ID_CODE_EUC, u"表示する文字ｺｰﾄﾞをEUCに指定\nEUC"},
        {ID_CODE_UTF8, u"表示する文字ｺｰﾄﾞをUTF-8に指定\nUTF-8"},
        {ID_MARK_NEXT, u"次のﾏｰｸ位置へ移動\n次のﾏｰｸ位置"},
        {ID_MARK_PREV, u"前のﾏｰｸ位置へ移動\n前のﾏｰｸ位置"},
        {ID_EDIT_FILL, u"選択範囲を指定した値で書き換え\n範囲書き換え"},
        {ID_COMPARE, u"他のﾌｧｲﾙと比較\n比較"},
        {ID_VIEW_UPPER, u"16進表示を大文字にする。\n大文字"},
        {ID_SEARCH_ABORT, u"検索を中断\n検索中断"},
        {ID_EDIT_INSERT, u"ﾊﾞｲﾄを挿入\n挿入"},
        {ID_EDIT_DELETE, u"ﾊﾞｲﾄを削除\n削除"},
        {ID_MARK1, u"ﾏｰｸを設定または解除\nﾏｰｸ"},
        {ID_MARK2, u"ﾏｰｸ2を設定または解除\nﾏｰｸ2"},
        {ID_MARK3, u"ﾏｰｸ3を設定または解除\nﾏｰｸ3"},
        {ID_MARK4, u"ﾏｰｸ4を設定または解除\nﾏｰｸ4"},
        {ID_MARK5, u"ﾏｰｸ5を設定または解除\nﾏｰｸ5"},
        {ID_MARK_COLOR1, u"ﾏｰｸ色を指定する\nﾏｰｸ色1"},
        {ID_MARK_COLOR2, u"ﾏｰｸ色を指定する\nﾏｰｸ色2"},
        {ID_MARK_COLOR3, u"ﾏｰｸ色を指定する\nﾏｰｸ色3"},
        {ID_MARK_COLOR4, u"ﾏｰｸ色を指定する\nﾏｰｸ色4"},
        {ID_MARK_COLOR5, u"ﾏｰｸ色を指定する\nﾏｰｸ色5"},
        {ID_CODE_NEXT, u"表示する文字ｺｰﾄﾞを変更する\n文字ｺｰﾄﾞ"},
        {IDS_SAVE_ERROR, u"ﾌｧｲﾙ'%1'の保存でｴﾗｰが発生しました。"},
        {IDS_SAVE_NO_MEMORY, u"ﾌｧｲﾙ'%1'の保存でﾒﾓﾘ不足が発生しました。"},
        {IDS_FILEOPEN_NG, u"FileOpen NG"},
        {IDS_ERROR_CODE, u"ｴﾗｰｺｰﾄﾞ:%d"},
        {IDS_WRITE_ERROR, u"ﾌｧｲﾙ'%1'の書き込みでｴﾗｰが発生しました。"},
        {IDS_IO_ERROR, u"ﾌｧｲﾙ'%1'でI/Oｴﾗｰが発生しました。"},
        {IDS_RANGE_HEX, u"範囲を１６進数で指定してください。"},
        {IDS_SEARCHING, u"検索中(%d%%)　中断はESCキーを押下"},
        {IDS_SAVING, u"保存中(%d%%)"},
        {IDS_DEF_FILTER, u"exe"},
        {IDS_FILTER, u"実行ﾌｧｲﾙ(*.exe)|*.exe|全てのﾌｧｲﾙ(*.*)|*.*||"},
        {IDS_TXT_EXT, u"txt"},
        {IDS_TXT_FILTER, u"ﾃｷｽﾄﾌｧｲﾙ(*.txt)|*.txt|全てのﾌｧｲﾙ(*.*)|*.*||"},
        {IDS_FONT_FACE, u"ＭＳ ゴシック"},
        {IDS_INI_EXT, u"ini"},
        {IDS_INI_FILTER, u"設定ﾌｧｲﾙ(*.ini)|*.ini||"},
        {IDS_BMP_FILTER, u"BITMAPﾌｧｲﾙ(*.bmp)|*.bmp|全てのﾌｧｲﾙ(*.*)|*.*||"},
        {IDS_BMP_EXT, u"bmp"},
        {IDS_FILL_VALUE, u"書き込む値を指定してください。"},
        {IDS_REWRITING, u"書き換え中(%d%%)"},
        {IDS_JOURNAL_WRITE_ERROR, u"編集の記録を書き込めないため、%1 は変更しませんでした。"},
        {IDS_JOURNAL_FILE_CHANGED,
         u"%1 は他のﾌﾟﾛｸﾞﾗﾑで変更されています。元に戻す・やり直しはできません。"},
        {IDS_JOURNAL_TOO_LARGE,
         u"この変更は記録の上限を超えるため、元に戻せません。実行しますか？"},
        {IDS_JOURNAL_BROKEN, u"%1 の編集の記録が壊れているため、元に戻せません。"},
        {IDS_SHIFT_COMPLETED_INSERT, u"%1 への挿入が中断されていたため、完了させました。"},
        {IDS_SHIFT_COMPLETED_DELETE, u"%1 からの削除が中断されていたため、完了させました。"},
        {IDS_SHIFT_NOT_COMPLETED, u"%1 の中断された挿入または削除を完了できませんでした。"},
        {IDS_NOTHING_TO_UNDO, u"元に戻す変更はありません。"},
        {IDS_NOTHING_TO_REDO, u"やり直す変更はありません。"},
        {IDS_NOT_REGULAR_FILE, u"%1 は通常のﾌｧｲﾙではないため書き込めません。"},
        {IDS_RULER, u"|-0--1--2--3--4--5--6--7--8--9--A--B--C--D--E--F-|---0123456789ABCDEF"},
        {AFX_IDS_APP_TITLE, u"ﾊﾞｲﾅﾘｴﾃﾞｨﾀ"},
        {AFX_IDS_IDLEMESSAGE, u"ﾚﾃﾞｨ"},
        {AFX_IDS_UNTITLED, u"無題"},
        {AFX_IDP_FAILED_TO_OPEN_DOC, u"ドキュメントを開くことに失敗しました。"},
        {AFX_IDP_FILE_NOT_FOUND, u"%1 が見つかりませんでした。"},
        {AFX_IDP_FILE_BAD_PATH, u"%1 に正しくないパスが含まれています。"},
        {AFX_IDP_FILE_TOO_MANY_OPEN, u"開いているファイルが多すぎるため、%1 を開けませんでした。"},
        {AFX_IDP_FILE_ACCESS_DENIED, u"%1 へのアクセスは拒否されました。"},
        {AFX_IDP_FILE_SHARING, u"%1 へのアクセス中に共有違反が発生しました。"},
        {AFX_IDP_FILE_LOCKING, u"%1 へのアクセス中にロック違反が発生しました。"},
        {AFX_IDP_FILE_GENERIC, u"%1 へのアクセス中に不明なエラーが発生しました。"},
        {AFX_IDP_FILE_DISKFULL, u"%1 へのアクセス中にディスクがいっぱいになりました。"},
        {AFX_IDP_PARSE_STRING_SIZE, u"%1 文字以内で入力してください。"},
        {ID_FILE_NEW, u"新規にﾌｧｲﾙを作成\n新規ﾌｧｲﾙ"},
        {ID_FILE_OPEN, u"既存のﾌｧｲﾙを開く\n開く"},
        {ID_FILE_SAVE_AS, u"選択範囲を別のﾌｧｲﾙへ保存\n部分保存"},
        {ID_FILE_MRU_FIRST, u"このﾌｧｲﾙを開く"},
        {ID_EDIT_COPY, u"選択範囲をｺﾋﾟｰしてｸﾘｯﾌﾟﾎﾞｰﾄﾞへ保存\nｺﾋﾟｰ"},
        {ID_EDIT_PASTE, u"ｸﾘｯﾌﾟﾎﾞｰﾄﾞの内容を書き込む\n貼り付け"},
        {ID_EDIT_UNDO, u"直前の変更を元に戻す\n元に戻す"},
        {ID_EDIT_REDO, u"元に戻した変更をやり直す\nやり直し"},
        {ID_APP_ABOUT, u"ﾌﾟﾛｸﾞﾗﾑの情報、ﾊﾞｰｼﾞｮﾝそして著作権を表示\nﾊﾞｰｼﾞｮﾝ情報"},
        {ID_APP_EXIT, u"ｱﾌﾟﾘｹｰｼｮﾝを終了し、ﾌｧｲﾙの保存を指示\n終了"},
        {ID_NEXT_PANE, u"次のｳｨﾝﾄﾞｳ ｳｨﾝﾄﾞｳに切り替え\n次のｳｨﾝﾄﾞｳ"},
        {ID_PREV_PANE, u"前のｳｨﾝﾄﾞｳ ｳｨﾝﾄﾞｳに切り替え\n前のｳｨﾝﾄﾞｳ"},
        {ID_VIEW_TOOLBAR, u"ﾂｰﾙ ﾊﾞｰの表示/非表示\nﾂｰﾙ ﾊﾞｰの表示/非表示"},
        {ID_VIEW_STATUS_BAR, u"ｽﾃｰﾀｽ ﾊﾞｰの表示/非表示\nｽﾃｰﾀｽ ﾊﾞｰの表示/非表示"},
    };
    return table;
}

MenuItem Item(const char16_t* caption, uint32_t id) { return {MenuItem::Item, caption, id, {}}; }
MenuItem Sep() { return {MenuItem::Separator, u"", 0, {}}; }
MenuItem Popup(const char16_t* caption, std::vector<MenuItem> children) {
    return {MenuItem::Popup, caption, 0, std::move(children)};
}

}  // namespace

const std::u16string& LoadString(uint32_t id) {
    static const std::u16string empty;
    const auto& table = Table();
    auto it = table.find(id);
    return it == table.end() ? empty : it->second;
}

std::u16string LoadPrompt(uint32_t id) {
    const std::u16string& s = LoadString(id);
    return s.substr(0, s.find(u'\n'));
}

std::u16string LoadToolTip(uint32_t id) {
    const std::u16string& s = LoadString(id);
    const size_t nl = s.find(u'\n');
    return nl == std::u16string::npos ? std::u16string() : s.substr(nl + 1);
}

const std::vector<MenuItem>& MainMenu() {
    static const std::vector<MenuItem> menu = {
        Popup(u"ﾌｧｲﾙ(&F)", {Item(u"開く(&O)...\tCtrl+O", ID_FILE_OPEN),
                            Item(u"部分保存(&A)...", ID_FILE_SAVE_AS),
                            Item(u"BITMAP保存(&B)...", ID_FILE_SAVE_BITMAP),
                            Item(u"16進ﾌｧｲﾙ格納(&H)...", ID_FILE_HEXLIST), Sep(),
                            Item(u"最新のﾌｧｲﾙ", ID_FILE_MRU_FIRST), Sep(),
                            Item(u"ｱﾌﾟﾘｹｰｼｮﾝの終了(&X)", ID_APP_EXIT)}),
        Popup(u"編集(&E)", {Item(u"元に戻す(&Z)\tCtrl+Z", ID_EDIT_UNDO),
                            Item(u"やり直し(&Y)\tCtrl+Y", ID_EDIT_REDO), Sep(),
                            Item(u"ｺﾋﾟｰ(&C)\tCtrl+C", ID_EDIT_COPY),
                            Item(u"貼り付け(&P)\tCtrl+V", ID_EDIT_PASTE), Sep(),
                            Item(u"範囲書き換え(&F)...", ID_EDIT_FILL), Sep(),
                            Item(u"挿入(&I)...\tInsert", ID_EDIT_INSERT),
                            Item(u"削除(&D)...\tDelete", ID_EDIT_DELETE), Sep(),
                            Item(u"読み取り専用(&R)", ID_READ_ONLY)}),
        Popup(u"検索(&S)",
              {Item(u"前頁(&U)\tPgUp", ID_PAGE_PREV), Item(u"次頁(&D)\tPgDn", ID_PAGE_NEXT),
               Item(u"ｼﾞｬﾝﾌﾟ(&J)...\tCtrl+G", ID_JUMP), Sep(),
               Item(u"検索(&F)...\tCtrl+F", ID_SEARCH), Item(u"検索中断(&S)\tESC", ID_SEARCH_ABORT),
               Item(u"次の検索(&N)\tF3", ID_SEARCH_NEXT),
               Item(u"前の検索(&P)\tShift+F3", ID_SEARCH_PREV),
               Popup(u"検索ﾓｰﾄﾞ(&D)", {Item(u"16進検索(&H)", ID_SEARCH_MODE_HEX),
                                       Item(u"文字列検索(&S)", ID_SEARCH_MODE_STRING)}),
               Sep(), Item(u"置換(&L)...", ID_REPLACE), Sep(),
               Item(u"ﾏｰｸ(&M)\tF4/Ctrl+F2/Ctrl+1", ID_MARK1), Item(u"ﾏｰｸ(&2)\tCtrl+2", ID_MARK2),
               Item(u"ﾏｰｸ(&3)\tCtrl+3", ID_MARK3), Item(u"ﾏｰｸ(&4)\tCtrl+4", ID_MARK4),
               Item(u"ﾏｰｸ(&5)\tCtrl+5", ID_MARK5), Item(u"次のﾏｰｸ位置(&E)\tF2", ID_MARK_NEXT),
               Item(u"前のﾏｰｸ位置(&R)\tShift+F2", ID_MARK_PREV)}),
        Popup(u"表示(&V)",
              {Item(u"ﾌｫﾝﾄ(&F)...", ID_VIEW_FONT), Item(u"色(&C)...", ID_VIEW_COLOR),
               Item(u"背景色(&B)...", ID_VIEW_BKCOLOR),
               Popup(u"ﾏｰｸ色(&M)",
                     {Item(u"ﾏｰｸ&1...", ID_MARK_COLOR1), Item(u"ﾏｰｸ&2...", ID_MARK_COLOR2),
                      Item(u"ﾏｰｸ&3...", ID_MARK_COLOR3), Item(u"ﾏｰｸ&4...", ID_MARK_COLOR4),
                      Item(u"ﾏｰｸ&5...", ID_MARK_COLOR5)}),
               Item(u"大文字(&U)", ID_VIEW_UPPER), Sep(),
               Popup(u"文字ｺｰﾄﾞ(&O)",
                     {Item(u"ｼﾌﾄJIS(&S)", ID_CODE_SJIS), Item(u"Unicode(&U)", ID_CODE_UNICODE),
                      Item(u"EUC(&E)", ID_CODE_EUC), Item(u"UTF-8(&8)", ID_CODE_UTF8)}),
               // The read size has no key of its own; it is offered here.
               Item(u"読み込みｻｲｽﾞ(&Z)...", ID_READ_SIZE), Sep(),
               Item(u"画像表示(&P)", ID_VIEW_PICTURE), Item(u"ﾃﾞｰﾀ表示(&I)", ID_VIEW_INSPECTOR),
               Sep(), Item(u"ﾂｰﾙ ﾊﾞｰ(&T)", ID_VIEW_TOOLBAR),
               Item(u"ｽﾃｰﾀｽ ﾊﾞｰ(&S)", ID_VIEW_STATUS_BAR)}),
        Popup(u"ﾂｰﾙ(&T)",
              {Item(u"環境設定(&O)...", ID_SETTINGS), Sep(), Item(u"比較(&C)...", ID_COMPARE)}),
        Popup(u"ﾍﾙﾌﾟ(&H)",
              {Item(u"使用方法(&M)", ID_HELP_README), Item(u"変更歴(&H)", ID_HELP_HISTORY),
               Item(u"定義内容(&S)", ID_HELP_SETTING), Sep(),
               Item(u"ﾊﾞｰｼﾞｮﾝ情報(&A)...", ID_APP_ABOUT)}),
    };
    return menu;
}

const std::vector<Accelerator>& Accelerators() {
    static const std::vector<Accelerator> table = {
        {VK_LEFT, ACC_NONE, ID_CARET_LEFT},
        {VK_RIGHT, ACC_NONE, ID_CARET_RIGHT},
        {VK_UP, ACC_NONE, ID_CARET_UP},
        {VK_DOWN, ACC_NONE, ID_CARET_DOWN},
        {VK_HOME, ACC_NONE, ID_CARET_HOME},
        {VK_END, ACC_NONE, ID_CARET_END},
        {VK_HOME, ACC_CONTROL, ID_WINDOW_TOP},
        {VK_END, ACC_CONTROL, ID_WINDOW_BOTTOM},
        {VK_LEFT, ACC_SHIFT, ID_SELECT_LEFT},
        {VK_RIGHT, ACC_SHIFT, ID_SELECT_RIGHT},
        {VK_UP, ACC_SHIFT, ID_SELECT_UP},
        {VK_DOWN, ACC_SHIFT, ID_SELECT_DOWN},
        {VK_HOME, ACC_CONTROL | ACC_SHIFT, ID_SELECT_TOP},
        {VK_END, ACC_CONTROL | ACC_SHIFT, ID_SELECT_BOTTOM},
        {'C', ACC_CONTROL, ID_EDIT_COPY},
        {VK_INSERT, ACC_CONTROL, ID_EDIT_COPY},
        {'V', ACC_CONTROL, ID_EDIT_PASTE},
        {VK_INSERT, ACC_SHIFT, ID_EDIT_PASTE},
        {'Z', ACC_CONTROL, ID_EDIT_UNDO},
        {'Y', ACC_CONTROL, ID_EDIT_REDO},
        {VK_INSERT, ACC_NONE, ID_EDIT_INSERT},
        {VK_DELETE, ACC_NONE, ID_EDIT_DELETE},
        {'O', ACC_CONTROL, ID_FILE_OPEN},
        {'G', ACC_CONTROL, ID_JUMP},
        {VK_PRIOR, ACC_NONE, ID_PAGE_PREV},
        {VK_NEXT, ACC_NONE, ID_PAGE_NEXT},
        {'F', ACC_CONTROL, ID_SEARCH},
        {VK_ESCAPE, ACC_NONE, ID_SEARCH_ABORT},
        {VK_F3, ACC_NONE, ID_SEARCH_NEXT},
        {VK_F3, ACC_SHIFT, ID_SEARCH_PREV},
        {VK_F4, ACC_NONE, ID_MARK1},
        {VK_F2, ACC_CONTROL, ID_MARK1},
        {'1', ACC_CONTROL, ID_MARK1},
        {'2', ACC_CONTROL, ID_MARK2},
        {'3', ACC_CONTROL, ID_MARK3},
        {'4', ACC_CONTROL, ID_MARK4},
        {'5', ACC_CONTROL, ID_MARK5},
        {VK_F2, ACC_NONE, ID_MARK_NEXT},
        {VK_F2, ACC_SHIFT, ID_MARK_PREV},
        {VK_F6, ACC_NONE, ID_NEXT_PANE},
        {VK_F6, ACC_SHIFT, ID_PREV_PANE},
    };
    return table;
}

uint32_t FindAccelerator(uint32_t key, uint32_t modifiers) {
    for (const Accelerator& a : Accelerators()) {
        if (a.key == key && a.modifiers == modifiers) return a.command;
    }
    return 0;
}

const std::vector<uint32_t>& ToolbarButtons() {
    static const std::vector<uint32_t> buttons = {
        ID_FILE_OPEN, ID_FILE_HEXLIST, 0, ID_EDIT_COPY, ID_EDIT_PASTE, 0, ID_SEARCH, 0,
        ID_APP_ABOUT};
    return buttons;
}

}  // namespace octile
