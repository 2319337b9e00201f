// Runs one browser command as the window's menu runs it, for the real-browser tests:
//   browser_command_tool FOLDER PORT set|reset firefox|desktop [tunnel|inspect]
// with `data`'s folder FOLDER (and the CA there, opened as the program opens it), the proxy's port
// PORT, the tunnels on when "tunnel" is given, and inspection too with "inspect". The command log
// goes to standard output; a question is answered "no".
#include <cstdio>
#include <string>

#include "browser/browser_command.h"
#include "runtime/runtime.h"
#include "support/recording_front_end.h"
#include "tls/inspector_holder.h"

int main(int argc, char** argv) {
    using namespace korvanel;
    if (argc < 5) {
        std::fputs(
            "usage: browser_command_tool FOLDER PORT set|reset firefox|desktop [tunnel|inspect]\n",
            stderr);
        return 2;
    }
    const std::string action = argv[3];
    const std::string browser = argv[4];
    testing::RecordingFrontEnd front;
    Runtime rt(front, argv[1]);
    {
        Hold hold(rt.locks.settings);
        rt.settings.port = argv[2];
        const std::string https = argc > 5 ? argv[5] : "";
        rt.settings.https_tunnel = https == "tunnel" || https == "inspect";
        rt.settings.https_inspect = https == "inspect";
    }
    // As in the program, whose inspector opens at its start: the browsers get its CA.
    PrepareInspection(rt);
    const bool set = action == "set";
    BrowserCommand command =
        browser == "desktop" ? (set ? BrowserCommand::kSetDesktop : BrowserCommand::kResetDesktop)
                             : (set ? BrowserCommand::kSetFirefox : BrowserCommand::kResetFirefox);
    int result = RunBrowserCommand(rt, command);
    std::fputs(front.pane(Pane::kStatus).c_str(), stdout);
    for (const auto& [title, text] : front.messages())
        std::printf("%s: %s\n", title.c_str(), text.c_str());
    return result > 0 ? 0 : 1;
}
