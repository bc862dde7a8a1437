#include "BatchOptions.h"

#include "RecordFormat.h"

#ifndef TEXTCNV_VERSION
#error "TEXTCNV_VERSION comes from the project's version (cli/CMakeLists.txt)"
#endif

const char* const kUsage =
    "使い方 / usage: textcnv-batch [--quiet] [--findings FILE] FOLDER   (--help で説明 / for "
    "help)\n";

namespace {

const char* const kHelpHead =
    "使い方: textcnv-batch [--quiet] [--findings FILE] FOLDER\n"
    "        textcnv-batch --help | --version\n"
    "\n"
    "FOLDER のファイルを変換します（ウィンドウでフォルダを選択して「変換スタート」を\n"
    "押したときと同じ処理です）。結果は FOLDER/処理後 に書き出されます:\n"
    "  取込用.txt  重複エラー.txt  書名なし.txt  処理結果.txt\n"
    "処理ログは標準出力に、メッセージは標準エラーに UTF-8 で出力されます。\n"
    "--quiet を付けると、標準出力には最後の集計（「取込用.txtに…件出力しました」以降）と\n"
    "問題を知らせる行（ファイル読み込みエラーなど）だけを出力します。メッセージは標準エラーに\n"
    "出ます。処理結果.txt は変わりません。\n"
    "--findings FILE を付けると、処理結果の一覧（";
// Then the kinds, from the table of kinds.
const char* const kHelpTail =
    "のレコードと、そのファイル名・行番号）を FILE に CSV（UTF-8、BOM 付き）で\n"
    "書き出します。列: 種類,キー,書名,ヨミ,NDC,ファイル,行\n"
    "レコードから来た値が = + - @ タブ CR で始まるときは、表計算ソフトが式として扱わない\n"
    "よう先頭に ' を付けます（見出しと行番号には付けません）。\n"
    "FILE の名前が .xlsx で終わるとき（大文字でも）は、CSV でなく Excel のブックにします:\n"
    "レコードから来た値はすべて文字列のセルで、数値・日付・式になりません（' も付けません）。\n"
    "行 は数値のセル、見出し行は固定され、オートフィルターが付きます。ほかの名前は CSV です。\n"
    "FILE はシェルの > と同じように書き出します: 通常のファイルは書き終えてから置き換え、\n"
    "デバイスや FIFO（/dev/stdout など）にはそのまま書き込み、シンボリックリンクはたどります。\n"
    "FOLDER のファイル、処理後 の中、フォルダーは FILE に指定できません（終了コード 2）。\n"
    "Ctrl+C などで中断すると、処理後 がどの状態にあるかを標準エラーに出力します。\n"
    "--version は版数を表示します。\n"
    "終了コード: 0 = 終了しました、1 = エラーで中断、2 = コマンドラインの誤り、\n"
    "3 = 完了、ただし読めなかったファイルがあります（そのレコードはどの出力にもありません）、\n"
    "128 + シグナル番号 = シグナルで中断（Ctrl+C は 130）。\n"
    "\n"
    "Usage: textcnv-batch [--quiet] [--findings FILE] FOLDER\n"
    "       textcnv-batch --help | --version\n"
    "\n"
    "Converts the files of FOLDER exactly as choosing FOLDER in the TextCnv window\n"
    "and pressing \"変換スタート\" would, writing the import file, the duplicates\n"
    "file, the no-title report and the run log into FOLDER/処理後.\n"
    "The run log goes to standard output, message boxes to standard error, as UTF-8.\n"
    "With --quiet, standard output gets only the closing summary (from the line\n"
    "\"取込用.txtに…件出力しました\" on) and the lines that note a problem (a file\n"
    "that cannot be read, ...); message boxes still go to standard error and\n"
    "処理結果.txt is the same as without it.\n"
    "With --findings FILE, the run's findings (every record of a repeated key, blank\n"
    "titles or readings, over-long NDC numbers, each with its file and line) are\n"
    "written to FILE as CSV (UTF-8 with a byte-order mark). A value from the records\n"
    "that starts with = + - @, TAB or CR gets a leading ' so that spreadsheets do not\n"
    "take it for a formula (the header and the line numbers never do).\n"
    "A FILE whose name ends in .xlsx (in any case) gets an Excel workbook instead:\n"
    "every value from the records is a text cell, never a number, a date or a\n"
    "formula (and gets no '), the line numbers are numbers, and the header row is\n"
    "frozen and has an autofilter. Any other name gets the CSV.\n"
    "FILE is written as a shell's > would: a regular file is replaced once it is\n"
    "complete, a device or FIFO (such as /dev/stdout) is written in place, and a\n"
    "symbolic link is followed. A file of FOLDER, anything inside FOLDER/処理後 and a\n"
    "folder are refused as FILE (exit status 2).\n"
    "Interrupted (Ctrl+C, SIGTERM, SIGHUP), it says on standard error what state\n"
    "処理後 is left in.\n"
    "--version prints the version.\n"
    "Exit status: 0 when the run completes, 1 when it ends with an error, 2 for a\n"
    "wrong command line, 3 when it completes but a record file could not be read\n"
    "(its records are in no output), 128 + the signal's number when a signal ends\n"
    "it (130 for Ctrl+C).\n";

// The help's lines are at most this wide, a full-width character counting two.
constexpr std::size_t kHelpColumns = 89;

std::size_t Columns(std::string_view utf8) {
  std::size_t columns = 0;
  for (char c : utf8) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x80) {
      ++columns;
    } else if ((b & 0xC0) != 0x80) {
      columns += 2;
    }
  }
  return columns;
}

// "重複キーの全レコード、書名（ヨミ）空白、ＮＤＣ桁数" after head, a line broken
// before a kind that would not fit on it.
void AppendKinds(std::string& help) {
  bool first = true;
  for (const KindRow& row : Kinds()) {
    std::string item(row.name);
    if (row.withCopies) item += "の全レコード";
    if (!first) help += "、";
    first = false;
    const std::size_t lineStart = help.rfind('\n') + 1;
    if (Columns(help.substr(lineStart)) + Columns(item) > kHelpColumns) help += '\n';
    help += item;
  }
}

}  // namespace

const std::string& HelpText() {
  static const std::string help = [] {
    std::string text = kHelpHead;
    AppendKinds(text);
    return text + kHelpTail;
  }();
  return help;
}

const std::string& VersionLine() {
  static const std::string line = std::string("textcnv-batch ") + TEXTCNV_VERSION + "\n";
  return line;
}

bool Parse(const std::vector<std::string>& argv, Arguments& args) {
  if (argv.size() == 1 && (argv[0] == "--help" || argv[0] == "-h")) return args.help = true;
  if (argv.size() == 1 && argv[0] == "--version") return args.version = true;
  for (std::size_t i = 0; i < argv.size(); ++i) {
    const std::string& arg = argv[i];
    if (arg == "--findings" && i + 1 < argv.size() && args.findings == nullptr &&
        !argv[i + 1].empty()) {
      args.findings = &argv[++i];
    } else if (arg == "--quiet" && !args.quiet) {
      args.quiet = true;
    } else if (!arg.empty() && (arg[0] != '-' || arg == "-") && args.folder == nullptr) {
      args.folder = &argv[i];
    } else {
      return false;
    }
  }
  return args.folder != nullptr;
}
