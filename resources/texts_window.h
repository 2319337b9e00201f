// Texts of the main window, its menu, buttons and dialogs (part of texts.h).
#pragma once

namespace korvanel::text {

// ---- main window ----
inline constexpr const char kWindowTitle[] = "KORVANEL";
inline constexpr const char kCaptionState[] = "状況:";
inline constexpr const char kCaptionTotal[] = "合計:";
inline constexpr const char kCaptionReceived[] = "総受信量:";
inline constexpr const char kCaptionSent[] = "総送信量:";
inline constexpr const char kCaptionBlocked[] = "ブロックしたIP:";
inline constexpr const char kCaptionClient[] = "Client:";
inline constexpr const char kCaptionPort[] = "Port:";
inline constexpr const char kCaptionKeepAlive[] = "Keep-Alive:";
inline constexpr const char kCounterStart[] = "0";
// The lower tab control's panes.
inline constexpr const char kPaneAccess[] = " アクセスログ";
inline constexpr const char kPaneSendHeaders[] = " 送信ヘッダ";
inline constexpr const char kPaneRecvHeaders[] = " 受信ヘッダ";
inline constexpr const char kPaneHeaderPairs[] = " 送受信ヘッダの対のログ";
inline constexpr const char kPaneStatus[] = "コマンドのログ";
// Tool tips of the large buttons (the settings button has none).
inline constexpr const char kTipStart[] = "プロクシを起動";
inline constexpr const char kTipStop[] = "プロクシを停止";
inline constexpr const char kTipTray[] = "タスクトレイに格納";
// Names and descriptions a screen reader gives the picture buttons.
inline constexpr const char kSettingsButtonName[] = "設定";
inline constexpr const char kStartButtonPicture[] = "緑の三角: サーバを開始します";
inline constexpr const char kStopButtonPicture[] = "赤い四角: サーバを停止します";
inline constexpr const char kTrayButtonPicture[] =
    "トレイへの矢印: ウィンドウをタスクトレイにしまいます";
inline constexpr const char kSettingsButtonPicture[] = "歯車: Config ダイアログを開きます";
inline constexpr const char kRegisterButtonName[] = "登録";
inline constexpr const char kDeleteButtonName[] = "削除";
inline constexpr const char kBulkButtonName[] = "一括登録";
inline constexpr const char kCheckButtonName[] = "チェック";
inline constexpr const char kTrayTip[] = "KORVANEL";

// ---- menu ----
inline constexpr const char kMenuFile[] = "ファイル(&F)";
inline constexpr const char kMenuSave[] = "保存(&S)";
inline constexpr const char kMenuExit[] = "終了(&X)";
inline constexpr const char kMenuBrowser[] = "ブラウザ(&B)";  // its items: see browser integration
inline constexpr const char kMenuColour[] = "カラー(&C)";
inline constexpr const char kMenuGrey[] = "グレー";
inline constexpr const char kMenuWhite[] = "ホワイト";
inline constexpr const char kMenuGreen[] = "グリーン";
inline constexpr const char kMenuHelp[] = "ヘルプ(&H)";
inline constexpr const char kMenuUsage[] = "使用方法(&T)";
inline constexpr const char kMenuAbout[] = "KORVANELについて(&A)";

// ---- About and usage dialogs ----
inline constexpr const char kAboutTitle[] = "KORVANELについて";
inline constexpr const char kAboutNotice1[] = "KORVANEL 1.0  ブラウザのためのHTTPプロクシ";
inline constexpr const char kAboutNotice2[] =
    "ヘッダの書き換え、クッキーの削除、タグの無効化、上位プロクシのチェック";
inline constexpr const char kUsageTitle[] = "使い方について...";
inline constexpr const char kUsageSeeDocument[] = "ドキュメントを参照してください";
inline constexpr const char kOpenDocument[] = "ドキュメントを開く";
// The close button of every dialog that has one.
inline constexpr const char kClose[] = "閉じる";
inline constexpr const char kPictureMissingText[] = "Could not load";
inline constexpr const char kPictureMissingTitle[] = "Error";

}  // namespace korvanel::text
