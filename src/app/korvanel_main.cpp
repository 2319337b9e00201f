// The program entry. Without a window the program runs headless.
#include "app/headless_app.h"

int main() {
    return korvanel::RunHeadlessProgram();
}
