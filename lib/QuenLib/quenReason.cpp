#include "quenReason.h"

#include <cerrno>
#include <system_error>

#include "quenOs.h"

namespace quenFile {
namespace {

struct Reason {
  int number;
  const char* text;
};

// Windows' wording where Windows has the same failure.
constexpr Reason kReasons[] = {
    {ENOENT, "指定されたファイルが見つかりません。"},
    {ENOTDIR, "ディレクトリ名が無効です。"},
    {EISDIR, "ディレクトリに対する操作はサポートされていません。"},
    {EACCES, "アクセスが拒否されました。"},
    {EPERM, "この操作は許可されていません。"},
    {EROFS, "メディアは書き込み禁止になっています。"},
    {ENOSPC, "ディスクに十分な空き領域がありません。"},
    {EDQUOT, "ディスク クォータを超えました。"},
    {EIO, "I/O デバイス エラーが発生したため、要求を実行できませんでした。"},
    {ENAMETOOLONG, "ファイル名または拡張子が長すぎます。"},
    {ELOOP, "ファイル名を解決できません。"},
    {EMFILE, "開いているファイルが多すぎます。"},
    {ENFILE, "システム全体で開いているファイルが多すぎます。"},
    {ENOMEM, "この操作を完了するのに十分な記憶域がありません。"},
    {EEXIST, "既に存在するファイルを作成することはできません。"},
    {EBUSY, "要求されたリソースは使用中です。"},
    {ETXTBSY, "プロセスはファイルにアクセスできません。別のプロセスが使用中です。"},
    {EFBIG, "ファイル サイズが制限を超えているため、保存できません。"},
    {EPIPE, "パイプは終了しました。"},
    {EWOULDBLOCK,
     "プロセスはファイルにアクセスできません。別のプロセスがファイルの一部をロックしています。"},
#if EAGAIN != EWOULDBLOCK
    {EAGAIN,
     "プロセスはファイルにアクセスできません。別のプロセスがファイルの一部をロックしています。"},
#endif
    {EINVAL, "パラメーターが間違っています。"},
    {EXDEV, "システムは別のディスク ドライブにファイルを移動できません。"},
    {ENXIO, "指定されたデバイスまたはアドレスがありません。"},
    {ENOTEMPTY, "ディレクトリが空ではありません。"},
    {EOPNOTSUPP, "要求はサポートされていません。"},
    {kNotRegularFile, "通常のファイルではありません。"},
    {kFileInTheWay, "同じ名前のファイルがあります。"},
    {kSymbolicLink, "シンボリックリンクのため書き込めません。"},
    {kFolderNotFound, "指定されたフォルダーが見つかりません。"},
};

}  // namespace

std::string ReasonText(int errorNumber) {
  for (const Reason& r : kReasons) {
    if (r.number == errorNumber) return r.text;
  }
  return std::system_category().message(errorNumber);
}

}  // namespace quenFile
