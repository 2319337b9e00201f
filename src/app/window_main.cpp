// The window program, which `korvanel` starts when a display is there. Run by hand it does
// the same: the data folder first, then the window.
#include <cstdio>
#include <cstdlib>

#include "app/data_folder.h"
#include "app/window_app.h"

int main(int argc, char** argv) {
    korvanel::StartDecision start = korvanel::EnterWorkplace(argc, argv, std::getenv);
    if (!start.go_on) return korvanel::ReportStop(start);
    return korvanel::RunWindowProgram(argc, argv);
}
