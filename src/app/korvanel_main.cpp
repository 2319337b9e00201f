// The program entry: with a display the program opens its window, without one it runs
// headless.
#include "app/headless_app.h"
#if KORVANEL_WINDOW
#include "app/window_app.h"
#endif

int main(int argc, char** argv) {
#if KORVANEL_WINDOW
    if (korvanel::DisplayAvailable()) return korvanel::RunWindowProgram(argc, argv);
#endif
    (void)argc;
    (void)argv;
    return korvanel::RunHeadlessProgram();
}
