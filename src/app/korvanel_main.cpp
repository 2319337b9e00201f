// The program entry: with a display the program opens its window (the window program takes
// over this process), without one it runs headless. The data folder comes first: everything
// after it refers to `data` and the logs by relative names.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/data_folder.h"
#include "app/headless_app.h"
#include "app/launch_window.h"

int main(int argc, char** argv) {
    korvanel::StartDecision start = korvanel::EnterWorkplace(argc, argv, std::getenv);
    if (!start.go_on) return korvanel::ReportStop(start);
#if KORVANEL_WINDOW
    if (korvanel::DisplayAvailable()) {
        std::string error;
        korvanel::ExecWindowProgram(argv, error);
        std::fprintf(stderr, "korvanel: cannot open the window (%s); running without it\n",
                     error.c_str());
    }
#endif
    return korvanel::RunHeadlessProgram();
}
