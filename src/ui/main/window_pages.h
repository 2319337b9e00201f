// The pages and dialogs the main window hosts, put in their places: the four list pages,
// the cookie page and the Config dialog behind the settings button.
#pragma once

namespace korvanel {
struct Runtime;
}

namespace korvanel::ui {

class MainWindow;

void InstallWindowPages(MainWindow& window, Runtime& rt);

}  // namespace korvanel::ui
