// The Japanese texts of HTTPS inspection: the reasons a user reads on the error page and in
// the command log. One line each; a reason is a prefix and one of the details.
#pragma once

namespace korvanel {

// ---- HTTPS inspection ----
// The origin's certificate did not verify: prefix + one of the details (or the verify error's
// number and OpenSSL's text).
inline constexpr const char* kTextCertificateUnverified = "証明書を確認できません: ";
inline constexpr const char* kTextIssuerUnknown = "発行者を確認できません";
inline constexpr const char* kTextSelfSigned = "自己署名の証明書です";
inline constexpr const char* kTextExpired = "有効期限が切れています";
inline constexpr const char* kTextNotYetValid = "まだ有効になっていません";
inline constexpr const char* kTextNameMismatch = "名前がホスト名と一致しません";
// The origin's handshake failed otherwise (old TLS only, no common cipher, a reset): prefix +
// OpenSSL's reason.
inline constexpr const char* kTextTlsFailed = "TLSで接続できません: ";
inline constexpr const char* kTextTlsTimeout = "タイムアウト";
inline constexpr const char* kTextTlsPeerClosed = "接続が切れました";

// Problems opening the inspector, each followed by the file's path.
inline constexpr const char* kTextKeyReadableByOthers =
    "認証局の鍵ファイルを他のユーザーも読めるため使いません (0600 にしてください): ";
inline constexpr const char* kTextAuthorityUnreadable = "認証局のファイルを読めません: ";
inline constexpr const char* kTextAuthorityMissing = "認証局のファイルがありません: ";
inline constexpr const char* kTextAuthorityMismatch = "認証局の証明書と鍵が一致しません: ";
inline constexpr const char* kTextAuthorityNotCa = "認証局の証明書ではありません: ";
inline constexpr const char* kTextAuthorityExpired = "認証局の証明書の有効期限が切れています: ";
inline constexpr const char* kTextAuthorityNotWritten = "認証局のファイルを書けません: ";
inline constexpr const char* kTextAuthorityNotMade = "認証局を作れません";
inline constexpr const char* kTextExtraCaUnreadable = "追加の証明書ファイルを読めません: ";
inline constexpr const char* kTextSystemAnchorsUnreadable = "システムの証明書を読めません: ";
inline constexpr const char* kTextTlsSetupFailed = "TLSを準備できません";

}  // namespace korvanel
