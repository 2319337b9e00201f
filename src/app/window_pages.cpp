#include "app/window_pages.h"

#include "ui/main_window.h"

namespace korvanel {

void InstallWindowPages(ui::MainWindow& window, Runtime& rt) {
    (void)window;
    (void)rt;
}

}  // namespace korvanel
