#include "ui/main/tab_trace.h"

#include <QtCore/QTimer>
#include <QtWidgets/QTabBar>
#include <QtWidgets/QTabWidget>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace korvanel::ui {

namespace {

constexpr int kPlacedAfterMs = 1000;

long long MonotonicNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

void InstallTabTrace(QTabWidget* tabs) {
    const char* path = std::getenv("KORVANEL_TAB_TRACE");
    if (path == nullptr || *path == '\0') return;
    std::FILE* opened = std::fopen(path, "a");
    if (opened == nullptr) return;
    std::shared_ptr<std::FILE> file(opened, std::fclose);

    QTimer::singleShot(kPlacedAfterMs, tabs, [tabs, file] {
        QTabBar* bar = tabs->tabBar();
        for (int i = 0; i < bar->count(); ++i) {
            QPoint at = bar->mapToGlobal(bar->tabRect(i).center());
            std::fprintf(file.get(), "tab %d %d %d\n", i, at.x(), at.y());
        }
        std::fflush(file.get());
    });
    QObject::connect(tabs, &QTabWidget::currentChanged, tabs, [tabs, file](int index) {
        // Queued behind whatever the event loop already holds, as the repaint is.
        QTimer::singleShot(0, tabs, [file, index] {
            std::fprintf(file.get(), "shown %d %lld\n", index, MonotonicNs());
            std::fflush(file.get());
        });
    });
}

}  // namespace korvanel::ui
