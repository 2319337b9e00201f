// The main window: the four large buttons and the counters at the top, the upper tab control
// with the list pages, the lower one with the five log panes, the divider between them, the
// status bar and the menu. It composes widgets and runs the core's commands; the pages and
// dialogs are classes of their own.
#pragma once

#include <QtWidgets/QMainWindow>
#include <array>
#include <functional>
#include <map>
#include <string_view>
#include <thread>
#include <vector>

#include "runtime/front_end.h"
#include "ui/main/theme.h"
#include "ui/qt_front_end.h"

class QLabel;
class QSystemTrayIcon;

namespace korvanel {
struct Runtime;
struct WindowState;
}  // namespace korvanel

namespace korvanel::ui {

class LogPane;
class SkinButton;
class StatusStrip;
class ThemedTabWidget;

// The menu's commands.
enum class MenuCommand {
    kSave,
    kExit,
    kSetFirefox,
    kSetOpera,
    kSetOpera64,
    kSetDesktop,
    kResetFirefox,
    kResetOpera,
    kResetOpera64,
    kResetDesktop,
    kThemeGrey,
    kThemeWhite,
    kThemeGreen,
    kUsage,
    kAbout,
};

// The window's own run state of the start and stop buttons.
enum class RunState { kStopped, kRunning, kStopping };

class MainWindow : public QMainWindow, public WindowSurface {
    Q_OBJECT
  public:
    MainWindow(Runtime& rt, QtFrontEnd& front);
    ~MainWindow() override;

    // Before the window is shown: its outer rectangle as `state` stores it (raised to the
    // minimum size). The window keeps that outer rectangle when the window manager frames it,
    // however late, until the user moves or resizes it.
    void restorePlacement(const WindowState& state);

    // Window creation after the controls: the logger thread, the pages filled, the automatic
    // start, the layout and the theme of `color`. False when the logger could not start.
    bool initialise();

    // The close sequence: save, stop the checker, stop the server (both stop workers), stop
    // the logger, a second's pause; returns once all of it is done or a step could not start.
    void closeInOrder();
    bool closed() const { return closed_; }

    // Applies the theme named `name`; a name of none of the five keeps the colours.
    void applyTheme(std::string_view name);
    const Theme& theme() const { return *theme_; }

    // The pages of the upper tab control: four placeholders until a page is set.
    void setUpperPage(int index, QWidget* page);
    int addUpperPage(const QString& title, QWidget* page);
    // Run after every pages' fill (at start): the pages rebuild their views.
    void addPageRebuild(std::function<void()> rebuild) { rebuilds_.push_back(std::move(rebuild)); }
    // What the settings button opens.
    void setSettingsAction(std::function<void()> action) { settings_action_ = std::move(action); }

    // What tests look at and press.
    SkinButton* startButton() const { return buttons_[0]; }
    SkinButton* stopButton() const { return buttons_[1]; }
    SkinButton* trayButton() const { return buttons_[2]; }
    SkinButton* settingsButton() const { return buttons_[3]; }
    RunState runState() const { return run_state_; }
    LogPane* pane(Pane pane) const;
    QString labelText(Label label) const;
    StatusStrip* statusStrip() const { return status_; }
    ThemedTabWidget* upperTabs() const { return upper_; }
    ThemedTabWidget* lowerTabs() const { return lower_; }
    QWidget* clientArea() const { return client_; }
    QAction* action(MenuCommand command) const { return actions_.at(command); }
    int splitPos() const { return split_pos_; }
    bool inTray() const { return in_tray_; }

    // WindowSurface
    void showLabel(Label label, const QString& text) override;
    void appendToPane(Pane pane, const QString& text, std::size_t limit) override;
    void limitPane(Pane pane, std::size_t characters) override;
    void showStatusBarPart(int part, const QString& text) override;
    QWidget* dialogOwner() override { return this; }

  signals:
    // The close sequence has run (in full or cut short by a thread failure).
    void closeFinished();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void buildTopArea();
    void buildTabs();
    void buildMenu();
    void layoutClient();
    void storeGeometry();
    bool followFrame();
    bool divider(QEvent* event);

    void startServer();
    void stopServer();
    void toTray();
    void fromTray();
    void runMenu(MenuCommand command);

    Runtime& rt_;
    QtFrontEnd& front_;
    const Theme* theme_;

    QWidget* client_ = nullptr;
    std::array<SkinButton*, 4> buttons_{};
    std::map<Label, QLabel*> labels_;
    ThemedTabWidget* upper_ = nullptr;
    ThemedTabWidget* lower_ = nullptr;
    std::array<LogPane*, 5> panes_{};
    StatusStrip* status_ = nullptr;
    std::map<MenuCommand, QAction*> actions_;
    QSystemTrayIcon* tray_ = nullptr;

    std::vector<std::function<void()>> rebuilds_;
    std::function<void()> settings_action_;
    RunState run_state_ = RunState::kStopped;
    int split_pos_ = 0;
    // The outer rectangle the window is to keep, the client size asked for to keep it, and
    // the frame that size was computed with.
    QRect placed_;
    QSize asked_client_;
    QMargins frame_;
    bool over_divider_ = false;
    bool dragging_ = false;
    bool in_tray_ = false;
    bool initialised_ = false;
    bool closing_ = false;
    bool closed_ = false;
};

}  // namespace korvanel::ui
