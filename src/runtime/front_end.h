// The front end port: everything the core needs from a window. Three implementations: the
// headless one (standard output and error), the recording one for tests, and later the
// window. Every method may be called from any thread.
//
// No core thread may block on the front end while the front end waits for that thread;
// once shutdown has begun, no call here blocks.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <thread>

namespace korvanel {

// The labels of the main window's status area.
enum class Label {
    kActiveConnections,     // active first-request connections
    kKeepAliveConnections,  // active keep-alive connections
    kServedConnections,     // connections served
    kBlockedClients,
    kBytesReceived,
    kBytesSent,
    kBindMode,     // "ローカル" / "パブリック"
    kServerState,  // "作動中" / "停止中"
    kPort,
};

// The log panes; kStatus is the command log.
enum class Pane { kAccess, kSendHeaders, kRecvHeaders, kHeaderPairs, kStatus };

// The status bar's parts: the proxy and the User-Agent in use, the two cookie switches.
inline constexpr int kProxyStatusPart = 0;
inline constexpr int kUserAgentStatusPart = 1;
inline constexpr int kSetCookieStatusPart = 2;
inline constexpr int kCookieStatusPart = 3;

// The proxy-check dialog's text lines count from 1 at the top; this last one shows the
// run's progress and, at the end, how the run ended.
inline constexpr int kCheckProgressLine = 5;

class FrontEnd {
  public:
    virtual ~FrontEnd() = default;

    virtual void SetLabel(Label label, std::string_view text) = 0;
    // Appends to a pane. When the pane's length plus the text's length reaches `limit`
    // characters, as many characters as the text holds are first deleted from the start
    // of the pane (AppendTrimmed implements the rule for front ends that keep the text).
    virtual void AppendToPane(Pane pane, std::string_view text, std::size_t limit) = 0;
    // Caps a pane's size (the accept thread limits the four log boxes).
    virtual void LimitPane(Pane pane, std::size_t characters) {
        (void)pane;
        (void)characters;
    }
    virtual void SetStatusBar(int part, std::string_view text) = 0;
    // The modal message dialog: blocks until answered (the headless one answers at once).
    virtual void ShowMessage(std::string_view title, std::string_view text) = 0;
    // A yes/no question, as modal as the message dialog; true for yes. A front end that
    // cannot ask shows the text and takes "no", which leaves everything as it is.
    virtual bool AskYesNo(std::string_view title, std::string_view text) {
        ShowMessage(title, text);
        return false;
    }
    // The save command that every status line sends (writes `data`).
    virtual void RequestSave() = 0;
    // A save of `data` failed after one that worked (its line is in the command log
    // already). Without a window the text goes to standard error each time; the window
    // shows the message dialog the first time only.
    virtual void SaveFailed(std::string_view title, std::string_view text) {
        ShowMessage(title, text);
    }
    // Waits until `thread` has ended and joins it. A window keeps its event loop turning.
    virtual void WaitFor(std::thread& thread) = 0;

    // The proxy-check dialog, driven by the checker run.
    virtual void SetCheckLine(int line, std::string_view text) {
        (void)line;
        (void)text;
    }
    virtual void SetCheckProgress(int position, int maximum) {
        (void)position;
        (void)maximum;
    }
    virtual void SetCheckButtons(bool ok_enabled, bool close_enabled) {
        (void)ok_enabled;
        (void)close_enabled;
    }
    // Advances the progress bar by one step (workers finish in any order, so they step the
    // bar rather than set its position).
    virtual void StepCheckProgress() {}
    // Ends the proxy-check dialog with `result`, from the run's driver thread; must not
    // wait for the dialog's thread.
    virtual void CloseCheckDialog(int result) { (void)result; }
};

// Number of characters (UTF-8 code points) in `text`.
std::size_t CountCharacters(std::string_view text);

// The pane rule: when pane + text reaches `limit` characters, drop as many characters as
// `text` holds from the front of `pane`; then append `text`.
void AppendTrimmed(std::string& pane, std::string_view text, std::size_t limit);

}  // namespace korvanel
