// The program entry: with a display the program opens its window, without one it runs
// headless. The data folder comes first: everything after it refers to `data` and the logs
// by relative names.
#include <cstdio>
#include <cstdlib>

#include "app/data_folder.h"
#include "app/headless_app.h"
#if KORVANEL_WINDOW
#include "app/window_app.h"
#endif

int main(int argc, char** argv) {
    korvanel::StartDecision start = korvanel::EnterWorkplace(argc, argv, std::getenv);
    if (!start.go_on) {
        std::fputs(start.message.c_str(), stderr);
        return start.exit_status;
    }
#if KORVANEL_WINDOW
    if (korvanel::DisplayAvailable()) return korvanel::RunWindowProgram(argc, argv);
#endif
    return korvanel::RunHeadlessProgram();
}
