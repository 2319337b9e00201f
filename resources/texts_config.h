// Texts of the Config dialog and the tag and cookie switches (part of texts.h).
#pragma once

namespace korvanel::text {

// ---- the Config dialog ----
inline constexpr const char kConfigTitle[] = "Config";
inline constexpr const char kGroupOneCaption[] = "設定１";
inline constexpr const char kGroupTwoCaption[] = "設定２";

// ---- "設定１": startup, HTTP version, log destinations, check address ----
inline constexpr const char kStartupRow[] = "起動設定";
inline constexpr const char kStartupBox[] = "KORVANEL起動時にサーバを開始する";
inline constexpr const char kStartupDone[] = "起動設定完了";
inline constexpr const char kHttpVersionRow[] = "HTTPのバージョン";
inline constexpr const char kHttp11[] = "HTTP/1.1";
inline constexpr const char kHttp10[] = "HTTP/1.0";
inline constexpr const char kHttpSet11[] = "HTTPのバージョンをHTTP/1.1にしました";
inline constexpr const char kHttpSet10[] = "HTTPのバージョンをHTTP/1.0にしました";

// The four radios of a log row, in the order of the log modes "0" to "3".
inline constexpr const char kLogToPane[] = "GUI";
inline constexpr const char kLogToFile[] = "ファイル";
inline constexpr const char kLogToBoth[] = "GUIとファイル";
inline constexpr const char kLogOff[] = "なし";
inline constexpr const char kAccessLogRow[] = "アクセスログ";
inline constexpr const char kSendHeaderLogRow[] = "送信ヘッダのログ";
inline constexpr const char kRecvHeaderLogRow[] = "受信ヘッダのログ";
inline constexpr const char kHeaderPairLogRow[] = "送受信ヘッダ対ログ";
// The status lines of the log rows, one per mode "0" to "3".
inline constexpr const char* const kAccessLogSet[] = {
    "アクセスログをGUIに出力します", "アクセスログをファイルに出力します",
    "アクセスログをGUIとファイルに出力します", "アクセスログを出力しません"};
inline constexpr const char* const kSendHeaderLogSet[] = {
    "送信ヘッダのログをGUIに出力します", "送信ヘッダのログをファイルに出力します",
    "送信ヘッダのログをGUIとファイルに出力します", "送信ヘッダのログを出力しません"};
inline constexpr const char* const kRecvHeaderLogSet[] = {
    "受信ヘッダのログをGUIに出力します", "受信ヘッダのログをファイルに出力します",
    "受信ヘッダのログをGUIとファイルに出力します", "受信ヘッダのログを出力しません"};
inline constexpr const char* const kHeaderPairLogSet[] = {
    "送受信ヘッダのログをGUIに出力します", "送受信ヘッダのログをファイルに出力します",
    "送受信ヘッダのログをGUIとファイルに出力します", "送受信ヘッダのログを出力しません"};

inline constexpr const char kCheckAddressRow[] = "ﾌﾟﾛｸｼのﾁｪｯｸのｱﾄﾞﾚｽ";
// Shown in the edit while no address of two or more characters is stored.
inline constexpr const char kCheckAddressNone[] = "NONE";
inline constexpr const char kCheckAddressChanged[] = "チェック用のアドレスを変更しました";
inline constexpr const char kCheckAddressChangedTitle[] = "確認";

// ---- "設定２": access control and port ----
inline constexpr const char kLocalOnly[] = "KORVANELを起動しているマシンのみアクセス可能";
inline constexpr const char kAllowRange[] = "一定の範囲内のIPアドレスからの利用を可能にする";
inline constexpr const char kRangeFrom[] = "から";
inline constexpr const char kRangeTo[] = "の範囲";
// The two address fields' names for a screen reader.
inline constexpr const char kRangeStartName[] = "範囲の最初のIPアドレス";
inline constexpr const char kRangeEndName[] = "範囲の最後のIPアドレス";
inline constexpr const char kAccessControlTitle[] = "アクセス制御";
inline constexpr const char kLocalOnlySet[] = "Localのみのサーバーに設定をしました";
inline constexpr const char kAppliedAfterRestart[] = "サーバの再起動の後に適用されます";
inline constexpr const char kRangeRegisterPrompt[] =
    "適用するために登録ボタンをクリックしてください";
inline constexpr const char kRangeEnterPrompt[] =
    "IPアドレスの範囲を入力した後に”適用”を押下してください";
inline constexpr const char kRangeInvalid[] = "有効なIPではありません";
inline constexpr const char kRangeInvalidTitle[] = "IPのエラー";
inline constexpr const char kAccessControlSet[] = "アクセス制御を設定しました";
inline constexpr const char kPortRow[] = "KORVANELを起動するポートの設定(1024-65535)";
inline constexpr const char kPortFailedTitle[] = "ポートの変更に失敗しました";
inline constexpr const char kPortNotInteger[] = "整数を入力してください。";
// The lowest and the highest port (%ld each).
inline constexpr const char kPortOutOfRange[] = "%ldから%ldの間の整数を入力してください";
inline constexpr const char kPortChangedTitle[] = "ポートを変更しました";

// ---- "HTTPS": tunnels, inspection and the user's own CA ----
inline constexpr const char kHttpsCaption[] = "HTTPS";
inline constexpr const char kTunnelRow[] = "HTTPSのトンネル";
inline constexpr const char kTunnelBox[] = "CONNECTでHTTPSを中継する";
inline constexpr const char kTunnelOn[] = "HTTPSのトンネルを使います";
inline constexpr const char kTunnelOff[] = "HTTPSのトンネルを使いません";
inline constexpr const char kTunnelPortsRow[] = "トンネルのポート";
inline constexpr const char kTunnelPortsSet[] = "トンネルのポートを変更しました";
inline constexpr const char kTunnelPortsFailedTitle[] = "トンネルのポートの変更に失敗しました";
inline constexpr const char kTunnelPortsRefused[] =
    "1から65535のポートを\",\"で区切って入力してください (例: 443,8443)";
inline constexpr const char kInspectRow[] = "HTTPSの検査";
inline constexpr const char kInspectBox[] = "CA証明書を使ってHTTPSの中身も書き換える";
inline constexpr const char kInspectOn[] = "HTTPSを検査します";
inline constexpr const char kInspectOff[] = "HTTPSを検査しません";
inline constexpr const char kInspectExceptRow[] = "検査しないホスト";
inline constexpr const char kInspectExceptHint[] = "1行に1つ (*.bank.example)";
inline constexpr const char kInspectExceptSet[] = "検査しないホストを変更しました";
inline constexpr const char kInspectExceptFailedTitle[] = "検査しないホストの変更に失敗しました";
inline constexpr const char kInspectExceptNotPattern[] = "ホスト名ではありません: ";
inline constexpr const char kInspectExceptTooMany[] = "ホストは200行までです";
inline constexpr const char kExtraCaRow[] = "追加のCA証明書ﾌｧｲﾙ";
inline constexpr const char kExtraCaSet[] = "追加のCA証明書ﾌｧｲﾙを変更しました";
inline constexpr const char kExtraCaFailedTitle[] = "追加のCA証明書ﾌｧｲﾙの変更に失敗しました";
inline constexpr const char kExtraCaRefused[] = "ﾌｧｲﾙのﾊﾟｽが長すぎます";
inline constexpr const char kAuthorityRow[] = "CA証明書";
inline constexpr const char kAuthorityRenew[] = "CA証明書を作り直す";
inline constexpr const char kAuthorityTitle[] = "CA証明書";
inline constexpr const char kAuthorityRenewAsk[] =
    "新しいCA証明書を作りますか？\r\n今のCA証明書はすぐに使えなくなります。\r\n"
    "ブラウザには「ﾌﾞﾗｳｻﾞにｾｯﾄ」でもう一度登録してください。";
inline constexpr const char kAuthorityRenewFailed[] = "CA証明書を作れませんでした: ";

// ---- the tag switches ----
inline constexpr const char kTagCaption[] = "タグの削除 <!-- --> によりコメントアウトされます。 ";
inline constexpr const char kTagRemove[] = "消す";
inline constexpr const char kTagKeep[] = "消さない";
// A stored tag value other than "0" or "1".
inline constexpr const char kTagValueErrorTitle[] = "error";
inline constexpr const char kTagValueErrorText[] = "エラー";

// One switch per tag group, in group order: its label and its two status lines.
struct TagSwitchTexts {
    const char* label;
    const char* removed;
    const char* kept;
};
inline constexpr TagSwitchTexts kTagSwitchTexts[] = {
    {"<LINK>", "<LINK>を\"消す\"にしました", "<LINK>を\"何もしない\"にしました"},
    {"<INPUT>", "<INPUT>を\"消す\"にしました", "<INPUT>を\"何もしない\"にしました"},
    {"<BODY>", "<BODY>を\"消す\"にしました", "<BODY>を\"何もしない\"にしました"},
    {"<FONT>", "<FONT>を\"消す\"にしました", "<FONT>を\"何もしない\"にしました"},
    {"<A>", "<A>を\"消す\"にしました", "<A>を\"何もしない\"にしました"},
    {"<IMG>", "<IMG>を\"消す\"にしました", "<IMG>を\"何もしない\"にしました"},
    {"<SCRIPT>", "<SCRIPT>を\"消す\"にしました", "<SCRIPT>を\"何もしない\"にしました"},
    {"<STYLE>", "<STYLE>を\"消す\"にしました", "<STYLE>を\"何もしない\"にしました"},
    {"<APPLET>", "<APPLET>を\"消す\"にしました", "<APPLET>を\"何もしない\"にしました"},
    {"<OBJECT>", "<OBJECT>を\"消す\"にしました", "<OBJECT>を\"何もしない\"にしました"},
    {"<EMBED>", "<EMBED>を\"消す\"にしました", "<EMBED>を\"何もしない\"にしました"},
    {"<META>", "<META>を\"消す\"にしました", "<META>を\"何もしない\"にしました"},
    {"<IFRAME>", "<IFRAME>を\"消す\"にしました", "<IFRAME>を\"何もしない\"にしました"},
    {"すべて", "すべてを\"消す\"にしました", "\"何もしない\"にしました"},
};

// ---- the cookie switches (the upper tab page "クッキー") ----
inline constexpr const char kCookiePageCaption[] = "クッキー";
inline constexpr const char kSetCookieFrame[] =
    "受信したヘッダからクッキーを削除する (Set-Cookieを削除する)";
inline constexpr const char kCookieFrame[] =
    "送信するヘッダからクッキーを削除する (Cookie) を削除する";
inline constexpr const char kCookieYes[] = "はい";
inline constexpr const char kCookieNo[] = "いいえ";
inline constexpr const char kSetCookieRemoved[] = "受信するクッキーを削除します";
inline constexpr const char kSetCookieKept[] = "受信するクッキーを削除しません";
inline constexpr const char kCookieRemoved[] = "送信ヘッダのクッキーを削除します";
inline constexpr const char kCookieKept[] = "送信ヘッダのクッキーを削除しません";
inline constexpr const char kStatusBarSetCookieRemoved[] = "受信クッキー：消す";
inline constexpr const char kStatusBarSetCookieKept[] = "受信クッキー：消さない";
inline constexpr const char kStatusBarCookieRemoved[] = "送信クッキー：消す";
inline constexpr const char kStatusBarCookieKept[] = "送信クッキー：消さない";
inline constexpr const char kCookieFailed[] = "クッキーの設定に失敗しました";

}  // namespace korvanel::text
