// zeloctl's help in its two languages. The synopsis lines are the same in
// both: they are what the user types.
#include <cstring>
#include <ostream>

#include "cli/cli.h"

namespace zelo::cli {
namespace {

struct JapaneseHelp {
    const char* command;
    const char* help;
};

// Each command's help in Japanese, in the order of the English table.
constexpr JapaneseHelp kJapaneseHelp[] = {
    {"tree", "グループの構成を表示します: グループごとに階層、ID、名前。"},
    {"list",
     "デバイス一覧が GROUP について表示する行を表示します: まずサブグループ\n"
     "(group、ID、名前)、次にデバイス (device、ID、9 列のテキスト)。"},
    {"show", "保存されているレコードを key=value の行で表示します。"},
    {"add-group", "PARENT の最後の子としてグループを作り、その ID を表示します。"},
    {"add-device",
     "機種の既定値でデバイスを作り、その ID を表示します (MODEL: 3、5、6..13\n"
     "または HX-7200、JB-81K、SWD-6K、SWD-6ZK、SWD-7KA、SWD-7KB、SWD-8KBN、\n"
     "SWD-12K、SWD-Q6M、GV2208)。"},
    {"set",
     "プロパティダイアログの保存と同じ規則で保存項目を変更します。FIELD: name、\n"
     "model、address、port、mac、unit、password、user、prompt、select。保存規則\n"
     "による変更 (切り詰めたテキスト、65535 を超えるポート、MAC の英数字) は\n"
     "標準エラーに表示し、16 進 12 桁でない MAC と、保存された unit、prompt、\n"
     "select を使わない機種には警告を出します。modelName は機種に従います。"},
    {"rename", "グループまたはデバイスの名前を変更します。"},
    {"delete", "グループをサブグループごと、またはデバイスを削除します。"},
    {"status",
     "デスクトッププログラムと同じようにデバイスを開きます: ログインし、フレーム\n"
     "形式の全状態を読み (プレーン形式では起動時の問い合わせを行い)、レコードの\n"
     "列を保存して閉じます。コンセントごとに 1 行 (outlet、番号、状態コード、\n"
     "on/off)、マスターの行 (状態または -)、続いて power、schedule、\n"
     "temperature、temperatureState、firmware、model、systemName、mac を\n"
     "key=value の行で表示します。デバイスを開けないときは終了コード 1、デバイスが\n"
     "不明またはアドレスかポートがないときは 2。"},
    {"power",
     "ログインし、制御ウィンドウのボタンと同じように各電源コマンドを送ります\n"
     "(PON1..POR8、ユニット全体は PON0/POF0/POR0、HX-7200 と JB-81K の\n"
     "マスタースイッチは MPON/MPOF: マスタースイッチのない機種では拒否し終了\n"
     "コード 2)。その後コンセントの状態を読み直し、'status' のコンセントと\n"
     "マスターの行を表示します。拒否されたコマンドでリストは終わります (終了\n"
     "コード 1)。"},
    {"settings",
     "ペアなし: デバイスを開いて設定を表示します (プレーン形式: key=value、\n"
     "フレーム形式: 読んだレジスタごとに Rxxx=値)。\n"
     "ペアあり: 変更としてデバイスの決まった順に適用し、続いて WRITE します\n"
     "(プレーン形式)。フレーム形式は R230 から R235 を受け付けます。書き込んだ\n"
     "キーごとに key=value の行を表示します。変更に必要な再起動は --restart の\n"
     "ときだけ行います。指定がなければ再起動を待つキーを標準エラーに示し、新しい\n"
     "telnetPort は再起動したときだけデバイスのポートとして保存します (それまで\n"
     "デバイスは古いポートで待ち受けます。古いポートに接続できない後のコマンドは\n"
     "新しいポートを試し、デバイスが応答すればそれを保存します)。\n"
     "--restart だけならデバイスを再起動します (前に指定した新しいポートも保存\n"
     "します)。フレーム形式のレポートのレジスタは名前付きで表示します: R230\n"
     "(report enable)、R231 (report address)、R232 (report port)、R233\n"
     "(report interval)。\n"
     "書き込めなかったキーがあれば終了コード 1。"},
    {"listen",
     "ステータスステーションを動かします: デバイスのステータスレポートを UDP で\n"
     "受け取り、解読し、デスクトッププログラムと同じようにデバイスのレコード、\n"
     "アイテムファイル、イベントログに反映します。既定のポート: ZELO.INI の\n"
     "MSRPport (MSRPenable は見ません: コマンドが受信を求めています)。N 件の\n"
     "レポートを受け付けたとき、S 秒後、または SIGINT/SIGTERM (Windows では\n"
     "Ctrl+C、Ctrl+Break、コンソールを閉じる操作) で、すべてのファイルを完全な\n"
     "状態にして終わります。--bind は受信を 1 つのローカルアドレスに限ります。\n"
     "実行中はデータディレクトリのロックを持ちます: 書き込むコマンドはその間\n"
     "拒否され、読むだけのコマンドは使えます。\n"
     "受け付けたレポートごとに deviceId、名前、電源、スケジュール、ping、温度、\n"
     "温度状態を表示します (タブ区切り。--json では最後に 1 つの配列)。"},
    {"deliver",
     ".shx スケジュールファイルを読み込み、指定したデバイスとグループ (サブ\n"
     "グループを含む) に配信します。スケジュールを受け付けるのはアドレスと\n"
     "ポートのある HX-7200 と JB-81K だけで、ほかは skipped として標準エラーに\n"
     "示します。各試行は ZELO.LOG に記録します。FILE のすべての行を先に調べ、\n"
     "デバイスが受け付けない行 (または重複したエントリ) は行番号と理由を示して\n"
     "どのデバイスにも接続せずに終わります (終了コード 2)。\n"
     "--parallel K は同時に最大 K 本の接続を使います。デバイスごとに ID、名前、\n"
     "Normal または Abnormal と失敗した段階 (login、readout、upload line N) を\n"
     "表示します。Abnormal のデバイスがあれば終了コード 1。"},
};

// The forwarding options' list keeps its English descriptions: they name
// options, URLs and files as the user types them.
constexpr const char* kForwardingHeading = "\nFORWARDING options (docs/forwarding.md):";

// Null for a command without its Japanese text.
const char* japaneseHelp(const char* command) {
    for (const JapaneseHelp& h : kJapaneseHelp)
        if (std::strcmp(h.command, command) == 0) return h.help;
    return nullptr;
}

}  // namespace

void printCommandHelp(std::ostream& out, const Command& c, bool japanese) {
    const char* ja = japanese ? japaneseHelp(c.name) : nullptr;
    out << (ja ? "使い方: zeloctl " : "usage: zeloctl ") << c.synopsis << "\n\n";
    if (!ja) {
        out << c.help << "\n";
        return;
    }
    out << ja << "\n";
    // The options list that follows the description, where there is one.
    if (const char* options = std::strstr(c.help, kForwardingHeading))
        out << "\n転送オプション (docs/forwarding.md):"
            << (options + std::strlen(kForwardingHeading)) << "\n";
}

void printHelp(std::ostream& out, bool japanese) {
    if (japanese) {
        out << "使い方: zeloctl [--dir DIR] [--json] COMMAND ARGS...\n\n"
               "  --dir DIR   データディレクトリ (ZELO.INI、ZELO_DIR.DAT、アイテムファイル)。\n"
               "              既定: カレントディレクトリ (--dir=DIR も可)。書き込むコマンドは\n"
               "              ないときに作り (親ディレクトリは必要)、実行中はロック\n"
               "              (ZELO.LCK) を持ちます: データディレクトリを変更するのは一度に\n"
               "              1 つのプログラムだけです\n"
               "  --json      タブ区切りの行の代わりに 1 つの JSON 文書を表示します\n"
               "  --version   zeloctl のバージョンを表示します\n"
               "--dir と --json はコマンド名の後にも置けます。\n\n"
               "DEVICE、GROUP、TARGET は 10 進の ID か名前そのものです。group:ID と\n"
               "device:ID で ID の種類を指定できます。\n\n"
               "メッセージ、使い方、このヘルプは ZELO.INI の Language (0 日本語、1 英語、\n"
               "2 エスペラント) に従います (zeloctl 自身のテキストは 0 のとき日本語、\n"
               "それ以外は英語)。Language がなければロケール (LC_ALL、LC_MESSAGES、LANG)\n"
               "が ja で始まるとき日本語、それ以外は英語で、zeloctl が作るデータ\n"
               "ディレクトリにはその Language を書き込みます。\n\n"
               "コマンド:\n";
    } else {
        out << "usage: zeloctl [--dir DIR] [--json] COMMAND ARGS...\n\n"
               "  --dir DIR   the data directory (ZELO.INI, ZELO_DIR.DAT, item files);\n"
               "              default: the current directory (also --dir=DIR). A command\n"
               "              that writes makes it when missing (its parent must exist)\n"
               "              and holds its lock (ZELO.LCK) while it runs: one program\n"
               "              at a time changes a data directory\n"
               "  --json      print one JSON document instead of tab-separated lines\n"
               "  --version   print zeloctl's version\n"
               "--dir and --json may also follow the command name.\n\n"
               "DEVICE, GROUP and TARGET are a decimal id or an exact name; group:ID and\n"
               "device:ID say which kind an id means.\n\n"
               "Texts from the program's string table (error messages, list columns, a\n"
               "new root's name) are in the Language of ZELO.INI (0 Japanese, 1 English,\n"
               "2 Esperanto); without one, Japanese when the locale (LC_ALL, LC_MESSAGES,\n"
               "LANG) begins with ja, else English, and a data directory zeloctl creates\n"
               "gets that Language written. zeloctl's own messages, usage lines and this\n"
               "help are Japanese for Language 0 and English otherwise.\n\n"
               "commands:\n";
    }
    for (const auto& c : commands()) out << "  " << c.synopsis << "\n";
    out << (japanese ? "\n'zeloctl COMMAND --help' で各コマンドを説明します。\n"
                       "終了コード: 0 成功、1 デバイスまたは書き込みの失敗、2 使い方の誤り。\n"
                     : "\n'zeloctl COMMAND --help' describes one command.\n"
                       "exit status: 0 success, 1 a device or a write failed, 2 usage error.\n");
}

}  // namespace zelo::cli
