// The pages and dialogs the main window hosts, put in their places.
#pragma once

namespace korvanel {

struct Runtime;
namespace ui {
class MainWindow;
}

void InstallWindowPages(ui::MainWindow& window, Runtime& rt);

}  // namespace korvanel
