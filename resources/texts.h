// Every text the user sees, in UTF-8, in one place. Grouped by the subsystem that shows
// it; formats are printf formats.
#pragma once

namespace korvanel::text {

// ---- proxy engine: listener and access control ----
inline constexpr const char kServerStarted[] = "サーバを開始しました PORT:";
inline constexpr const char kServerStopped[] = "サーバを停止しました";
inline constexpr const char kAlreadyStartedTitle[] = "サーバーは既に開始しています";
inline constexpr const char kAlreadyStartedText[] =
    "サーバーを再起動する場合は、\r\n一度サーバーを停止してから、\r\nサーバーの開始をしてください";
inline constexpr const char kBindLocal[] = "ローカル";
inline constexpr const char kBindPublic[] = "パブリック";
inline constexpr const char kStateRunning[] = "作動中";
inline constexpr const char kStateStopped[] = "停止中";
inline constexpr const char kIpPermitted[] = "を許可";
inline constexpr const char kIpBlocked[] = "をブロックし切断";
inline constexpr const char kIpDisconnecting[] = "切断します";
inline constexpr const char kZeroBytes[] = "0 Byte";

// ---- proxy engine: connection handler, heads, upstream, error page ----
// Failure reasons written into a connection handler's error text.
inline constexpr const char kClientReceiveError[] = "Clientから受信の際にエラー";
inline constexpr const char kServerReceiveError[] = "サーバから受信の際にエラー";
inline constexpr const char kTimeout[] = "タイムアウト";
inline constexpr const char kClientHeadUnsupported[] = "Clientのヘッダに対応できませんでした";
inline constexpr const char kServerHeadUnsupported[] = "Serverのヘッダに対応できませんでした";
inline constexpr const char kUnsupportedHeader[] = "対応していないヘッダです";
inline constexpr const char kProxyUnusable[] = "そのプロクシサーバ：%s は使えません";
inline constexpr const char kPortUnusable[] = "そのポート：%s は使えません";
inline constexpr const char kAccessNotPossible[] = "%s:%sへのアクセスは出来ません";
inline constexpr const char kCannotConnect[] = "%s:%sに接続できません";
inline constexpr const char kCannotSend[] = "%s:%sにデータを送信できません";
inline constexpr const char kClientSendError[] = "クライアントに送信の際にエラー";
inline constexpr const char kSocketError[] = "ソケットエラー";
inline constexpr const char kChunkedError[] = "chunked error\n";
inline constexpr const char kChunkError[] = "chunk error\n";
inline constexpr const char kRefusedClient[] = "dummy";
// The HTML tag filter could not take a piece (it ends the relay).
inline constexpr const char kTagFilterError[] = "KORVANEL Error";
// The error page: head, page opening, (the reason), page end.
inline constexpr const char kErrorPageHead[] =
    "HTTP/1.0 500 InternalServerError\r\nContent-Type: text/html; charset=UTF-8\r\n\r\n";
inline constexpr const char kErrorPageOpen[] =
    "<html><head><title>Proxy Error</title></head>\r\n<body>";
inline constexpr const char kErrorPageClose[] = "</body></html>";
// The heads of the pages that refuse a tunnel (a port not allowed) or report that its
// target could not be reached.
inline constexpr const char kTunnelRefusedHead[] =
    "HTTP/1.0 403 Forbidden\r\nContent-Type: text/html; charset=UTF-8\r\n\r\n";
inline constexpr const char kTunnelUnreachableHead[] =
    "HTTP/1.0 502 Bad Gateway\r\nContent-Type: text/html; charset=UTF-8\r\n\r\n";
// The head and text of the page that refuses a tunnel while as many are open as the
// program's descriptors allow.
inline constexpr const char kTunnelBusyHead[] =
    "HTTP/1.0 503 Service Unavailable\r\nContent-Type: text/html; charset=UTF-8\r\n\r\n";
inline constexpr const char kTooManyTunnels[] = "開いているトンネルが多すぎます";
// The heads of the pages that refuse a request whose head is malformed or whose body's end
// cannot be found, and one whose transfer coding is unknown.
inline constexpr const char kBadRequestHead[] =
    "HTTP/1.0 400 Bad Request\r\nContent-Type: text/html; charset=UTF-8\r\n\r\n";
inline constexpr const char kNotImplementedHead[] =
    "HTTP/1.0 501 Not Implemented\r\nContent-Type: text/html; charset=UTF-8\r\n\r\n";
inline constexpr const char kUnknownTransferCoding[] = "対応していない転送コーディングです";

// HTTPS inspection in the command log: the line's name, and its details (the file, a reason,
// a host whose client refused the certificate made for it).
inline constexpr const char kInspectionStatus[] = "HTTPS検査";
inline constexpr const char kAuthorityCreated[] = "CA証明書を作成しました: ";
inline constexpr const char kAuthorityRenewed[] = "CA証明書を作り直しました: ";
inline constexpr const char kAuthorityUnusable[] = "CA証明書を使えません: ";
// The user's CA in the browsers' certificate databases, in the command log: the line's name,
// and its details after the browser's name.
inline constexpr const char kTrustStatus[] = "CA証明書の登録";
inline constexpr const char kTrustAdded[] = "に登録しました: ";
inline constexpr const char kTrustRemoved[] = "から削除しました: ";
inline constexpr const char kTrustAddFailed[] = "への登録に失敗しました: ";
inline constexpr const char kTrustRemoveFailed[] = "からの削除に失敗しました: ";
inline constexpr const char kTrustNoCertutil[] = "certutilがありません (libnss3-tools)";
inline constexpr const char kTrustTimedOut[] = "certutilが時間内に終わりませんでした";
inline constexpr const char kTrustNoInspector[] =
    "HTTPS検査のCA証明書が用意できていません (コマンドログの「HTTPS検査」を見てください)";
// The browser commands in the command log: the line's name, and its details after the
// browser's name (and a profile folder or the places looked in).
inline constexpr const char kBrowserStatus[] = "ﾌﾞﾗｳｻﾞ";
inline constexpr const char kFirefoxSet[] = "にセットしました: ";
inline constexpr const char kFirefoxReset[] = "をリセットしました: ";
inline constexpr const char kFirefoxNotRead[] = "が起動せず、設定を読みませんでした: ";
inline constexpr const char kFirefoxNotWritten[] = "の設定を書けませんでした: ";
inline constexpr const char kFirefoxNoProfile[] = "のプロファイルが見つかりません。探した場所: ";
// The desktop's proxy settings in the command log: "デスクトップの設定", the desktop, what
// happened, and the address or the reason.
inline constexpr const char kDesktopSettings[] = "デスクトップの設定";
inline constexpr const char kDesktopGnome[] = "(GNOME)";
inline constexpr const char kDesktopKde[] = "(KDE)";
inline constexpr const char kDesktopSet[] = "をKORVANELにセットしました: ";
inline constexpr const char kDesktopReset[] = "をリセットしました";
inline constexpr const char kDesktopFailed[] = "を変えられませんでした: ";
inline constexpr const char kDesktopNoGsettings[] = "gsettingsがありません (libglib2.0-bin)";
inline constexpr const char kDesktopNotKept[] =
    "設定が保存されません (セッションのD-Busかdconfがありません)";
inline constexpr const char kDesktopKeptNotWritten[] = "元の設定を保存できません: ";
inline constexpr const char kDesktopNotWritten[] = "ファイルを書けません: ";
inline constexpr const char kDesktopNoHome[] = "HOMEがありません";
// The browsers that read the user's certificate database, as the command log names them.
inline constexpr const char kDesktopBrowsers[] = "Chrome/Chromium";
// Neither GNOME's nor KDE's settings: how to start such a browser instead.
inline constexpr const char kDesktopNoneTitle[] = "デスクトップの設定";
inline constexpr const char kDesktopNoneSet[] =
    "GNOMEやKDEのプロクシ設定が見つからないので、何も変えていません。\r\n"
    "Chrome, Chromium, Edge, Brave, Operaは、次のように起動するとKORVANELを通ります:\r\n"
    "chromium --proxy-server=";
inline constexpr const char kDesktopNoneReset[] =
    "GNOMEやKDEのプロクシ設定が見つからないので、何も変えていません。\r\n"
    "--proxy-serverを付けずに起動したブラウザは、KORVANELを通りません。";
// A browser set while the tunnels are off: its HTTPS pages go around the proxy.
inline constexpr const char kHttpsAroundTitle[] = "HTTPS";
inline constexpr const char kHttpsAroundAsk[] =
    "トンネルが無効なので、https:// のページはKORVANELも上位プロクシも通らず、"
    "サイトに直接つながります。\r\nトンネルを有効にしますか?";
inline constexpr const char kHttpsAroundStatus[] =
    "トンネルが無効なので、HTTPSはKORVANELを通らずに直接つながります";
inline constexpr const char kHttpsAroundTunnelOn[] = "トンネルを有効にしました";
inline constexpr const char kClientRefusedCertificate[] =
    "ブラウザが証明書を受け付けませんでした(除外ホストに加えてください): ";

// An inspected connection's failures, as the error page says them.
inline constexpr const char kInspectionUnavailable[] = "HTTPS検査の証明書を用意できません";
inline constexpr const char kProxyRefusedTunnel[] =
    "プロクシサーバがトンネルを開きませんでした: %s";
// A SOCKS proxy that did not connect: the kind of proxy, the proxy, the target and the
// reason, one of those below.
inline constexpr const char kSocksFailed[] =
    "プロクシサーバ(%s) %s:%s から %s:%s に接続できません: %s";
inline constexpr const char kSocksGeneralFailure[] = "SOCKSサーバの内部エラーです";
inline constexpr const char kSocksNotAllowed[] = "SOCKSサーバの規則で許可されていません";
inline constexpr const char kSocksNetworkUnreachable[] = "ネットワークに到達できません";
inline constexpr const char kSocksHostUnreachable[] = "ホストに到達できません";
inline constexpr const char kSocksConnectionRefused[] = "接続を拒否されました";
inline constexpr const char kSocksTtlExpired[] = "TTLが切れました";
inline constexpr const char kSocksCommandUnsupported[] = "CONNECTに対応していません";
inline constexpr const char kSocksAddressUnsupported[] = "アドレスの種類に対応していません";
inline constexpr const char kSocksUnknownFailure[] = "SOCKSサーバがエラーを返しました";
inline constexpr const char kSocksLoginNeeded[] =
    "ログインが必要です (ユーザー名とパスワードを登録してください)";
inline constexpr const char kSocksLoginNotOffered[] =
    "ユーザー名とパスワードでのログインに対応していません";
inline constexpr const char kSocksLoginRefused[] = "ログインを拒否されました";
inline constexpr const char kSocks4Rejected[] = "拒否されたか、接続できませんでした";
inline constexpr const char kSocks4Ident[] = "identdで本人を確認できませんでした";
inline constexpr const char kSocksMalformed[] = "SOCKSサーバの応答を読めません";
inline constexpr const char kSocksClosed[] = "SOCKSサーバが接続を切りました";
inline constexpr const char kSocksTimeout[] = "SOCKSサーバの応答がありません (タイムアウト)";
inline constexpr const char kSocksNameTooLong[] = "ホスト名が長すぎます (255文字まで)";
inline constexpr const char kOriginHandshakeTimeout[] = "TLSで接続できません: 時間切れ";

// ---- HTTPS inspection ----
// The origin's certificate did not verify: prefix + one of the details (or the verify error's
// number and OpenSSL's text).
inline constexpr const char kCertificateUnverified[] = "証明書を確認できません: ";
inline constexpr const char kIssuerUnknown[] = "発行者を確認できません";
inline constexpr const char kSelfSigned[] = "自己署名の証明書です";
inline constexpr const char kExpired[] = "有効期限が切れています";
inline constexpr const char kNotYetValid[] = "まだ有効になっていません";
inline constexpr const char kNameMismatch[] = "名前がホスト名と一致しません";
// The origin's handshake failed otherwise (old TLS only, no common cipher, a reset): prefix +
// OpenSSL's reason.
inline constexpr const char kTlsFailed[] = "TLSで接続できません: ";
inline constexpr const char kTlsTimeout[] = "タイムアウト";
inline constexpr const char kTlsPeerClosed[] = "接続が切れました";

// Problems opening the inspector, each followed by the file's path.
inline constexpr const char kKeyReadableByOthers[] =
    "認証局の鍵ファイルを他のユーザーも読めるため使いません (0600 にしてください): ";
inline constexpr const char kAuthorityUnreadable[] = "認証局のファイルを読めません: ";
inline constexpr const char kAuthorityMissing[] = "認証局のファイルがありません: ";
inline constexpr const char kAuthorityMismatch[] = "認証局の証明書と鍵が一致しません: ";
inline constexpr const char kAuthorityNotCa[] = "認証局の証明書ではありません: ";
inline constexpr const char kAuthorityExpired[] = "認証局の証明書の有効期限が切れています: ";
inline constexpr const char kAuthorityNotWritten[] = "認証局のファイルを書けません: ";
inline constexpr const char kAuthorityNotMade[] = "認証局を作れません";
inline constexpr const char kAuthorityKeyEncrypted[] =
    "認証局の鍵がパスフレーズで暗号化されているため使えません: ";
inline constexpr const char kExtraCaUnreadable[] = "追加の証明書ファイルを読めません: ";
// Why a key or certificate file was not read (after its path).
inline constexpr const char kTrustFileLink[] = "シンボリックリンクは使いません";
inline constexpr const char kTrustFileNotRegular[] = "通常のファイルではありません";
inline constexpr const char kTrustFileNotOwned[] = "ほかのユーザーのファイルです";
inline constexpr const char kTrustFileTooLarge[] = "ファイルが大きすぎます";
inline constexpr const char kSystemAnchorsUnreadable[] = "システムの証明書を読めません: ";
inline constexpr const char kTlsSetupFailed[] = "TLSを準備できません";

// ---- settings: configuration file and worker commands ----
inline constexpr const char kThreadErrorTitle[] = "thread error";
inline constexpr const char kThreadErrorTitleDots[] = "thread error..";
inline constexpr const char kThreadErrorText[] = "error";
inline constexpr const char kReadErrorTitle[] = "設定ファイルの読み取りエラー";
inline constexpr const char kReadErrorText[] =
    "dataの読み込みに失敗しました\r\ndataファイル削除して再起動してください。";
// A save of `data` that failed: the command-log line (name, then the file and the reason)
// and the message dialog (title, and a text ending in the same file and reason: one line,
// as standard error shows it without a window).
inline constexpr const char kSaveFailedStatus[] = "dataの保存に失敗しました";
inline constexpr const char kSaveErrorTitle[] = "設定ファイルの保存エラー";
inline constexpr const char kSaveErrorText[] = "dataを保存できませんでした: ";
// The logins of the upstream proxies (the file beside `data`) in the command log: the line's
// name, and why the file is not used, followed by its path.
inline constexpr const char kLoginsStatus[] = "上位プロクシのログイン";
inline constexpr const char kLoginsReadableByOthers[] =
    "ログインのファイルを他のユーザーも読めるため使いません (chmod 600 にして再起動してください): ";
inline constexpr const char kLoginsUnreadable[] = "ログインのファイルを読めません: ";
inline constexpr const char kLoginsBadLine[] =
    ": 「host:port ユーザー名:パスワード」の形ではありません";
inline constexpr const char kOutOfMemoryTitle[] = "エラー";
inline constexpr const char kOutOfMemoryText[] = "メモリを確保できませんでした";
// Status bar parts 0 and 1 after the row in use was deleted.
inline constexpr const char kStatusBarNoProxy[] = "プロクシサーバ： 無し";
inline constexpr const char kStatusBarNoUserAgent[] = "User-Agentの書き換え： 無し";

// ---- logging ----
// A log file not written because a symbolic link lies in its place: the line's name, and the
// detail before the path.
inline constexpr const char kLogFileStatus[] = "ログファイル";
inline constexpr const char kLogFileLink[] = "シンボリックリンクがあるため書きません: ";
inline constexpr const char kCounterLabelFormat[] = "%d";
inline constexpr const char kByteTotalLabelFormat[] = "%lld Byte";

// ---- proxy checker ----
inline constexpr const char kCheckGettingIdentity[] = "IPアドレス、ホスト名を取得....";
inline constexpr const char kCheckDone[] = "完了";
inline constexpr const char kCheckAskingGateway[] = "uPnPデバイスにアクセスしIPアドレスを取得....";
inline constexpr const char kCheckNoData[] = "データ無し";
inline constexpr const char kCheckNoProxy[] = "Proxyが登録されていません";
inline constexpr const char kCheckBadAddress[] = "ﾁｪｯｸ用のCGIのｱﾄﾞﾚｽが無効です";
inline constexpr const char kCheckAttributes[] = "ﾁｪｯｸに使うCGIの属性を取得....";
inline constexpr const char kCheckCgiDedicated[] = "KORVANEL専用CGI";
inline constexpr const char kCheckCgiConnectFailed[] = "ホストに接続できませんでした";
inline constexpr const char kCheckCgiExchangeFailed[] = "送受信に失敗しました";
inline constexpr const char kCheckCgiUnsupported[] = "CGIが対応していないタイプです";
inline constexpr const char kCheckCgiNotSuccess[] = "200 OK以外のレスポンスでした";
inline constexpr const char kCheckCgiNotDedicated[] = "KORVANEL専用ではありませんでした";
inline constexpr const char kCheckStarting[] = "Proxyのﾁｪｯｸを開始します";
inline constexpr const char kCheckEnding[] = "Proxyのﾁｪｯｸを終了します。";
inline constexpr const char kCheckFinished[] = "Proxyのﾁｪｯｸを終了しました";
inline constexpr const char kCheckProgress[] = "%d / %d 処理中";
inline constexpr const char kCheckDialogDefaultLine1[] = "外部CGI(ﾃﾞﾌｫﾙﾄ:%s)に";
inline constexpr const char kCheckDialogDefaultLine2[] =
    "ｱｸｾｽします。ｱﾄﾞﾚｽは独自に変更する事ができます。";
inline constexpr const char kCheckDialogLine1[] = "%sに";
inline constexpr const char kCheckDialogLine2[] = "ｱｸｾｽします。";
// The command-line check program (korvanel-check).
inline constexpr const char kCheckProgramLine[] = "%d: %s\n";
inline constexpr const char kCheckProgramReadFailed[] =
    "korvanel-check: data could not be read; nothing was checked\n";
inline constexpr const char kCheckProgramWriteFailed[] =
    "korvanel-check: the verdicts could not be written to data\n";
inline constexpr const char kCheckProgramStopping[] = "korvanel-check: stopping the check...\n";
inline constexpr const char kCheckProgramUnknownArgument[] =
    "korvanel-check: unknown option '%s'\n";
inline constexpr const char kCheckProgramUsage[] =
    "usage: korvanel-check\n"
    "  checks the upstream proxies of the data in the current directory through the check\n"
    "  address, prints the check's lines as \"N: text\" and writes each proxy's verdict and\n"
    "  speed back into data; SIGINT or SIGTERM stops the check, keeping what was found\n"
    "  --help: this text;  --version: the version\n";

// ---- browser integration ----
// The menus that start the browser commands, and their items.
inline constexpr const char kBrowserSetMenu[] = "ﾌﾞﾗｳｻﾞにｾｯﾄ(&S)";
inline constexpr const char kBrowserResetMenu[] = "ﾌﾞﾗｳｻﾞﾘｾｯﾄ(&R)";
inline constexpr const char kBrowserFirefoxItem[] = "Firefox (&M)";
inline constexpr const char kBrowserOperaItem[] = "Opera (&O)";
inline constexpr const char kBrowserOperaX64Item[] = "Opera x64 (&S)";
inline constexpr const char kBrowserDesktopItem[] =
    "デスクトップの設定 (Chrome, Chromium, Edge, Brave, Opera) (&D)";

// ---- headless program ----
inline constexpr const char kHeadlessCannotStart[] =
    "korvanel: the server could not start on port %s (is the port in use?)\n";

// ---- command line and data folder ----
inline constexpr const char kUnknownArgument[] = "korvanel: unknown option '%s'\n";
inline constexpr const char kUsage[] =
    "usage: korvanel [--desktop]\n"
    "  without an option: data and the logs in the current directory\n"
    "  --desktop: in $XDG_DATA_HOME/korvanel (else ~/.local/share/korvanel), as the launcher "
    "starts it\n"
    "  --help: this text;  --version: the version\n";
inline constexpr const char kNoDataHome[] =
    "korvanel: no data folder: neither XDG_DATA_HOME nor HOME is an absolute path\n";
inline constexpr const char kDataFolderNotMade[] =
    "korvanel: the data folder %s could not be made: %s\n";
inline constexpr const char kDataFolderNotEntered[] =
    "korvanel: the data folder %s could not be entered: %s\n";

}  // namespace korvanel::text

// The window's texts, one file for each part of it.
#include "texts_config.h"
#include "texts_lists.h"
#include "texts_window.h"
