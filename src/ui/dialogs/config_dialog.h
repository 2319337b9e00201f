// The Config dialog: the tag switches, "設定１", "設定２" and "HTTPS", top to bottom
// (scrolling on a low screen), and "閉じる".
// Modeless; it shows the values Settings holds when it is made and deletes itself when
// closed, so each opening builds it anew.
#pragma once

#include <QtWidgets/QDialog>

class QPushButton;

namespace korvanel {
struct Runtime;
}

namespace korvanel::ui {

class AccessAndPortGroup;
class HttpsGroup;
class StartupAndLogsGroup;
class TagSwitchGroup;

class ConfigDialog : public QDialog {
  public:
    ConfigDialog(Runtime& rt, QWidget* parent = nullptr);

    TagSwitchGroup* tagSwitches() const { return tags_; }
    StartupAndLogsGroup* startupAndLogsGroup() const { return startup_and_logs_; }
    AccessAndPortGroup* accessAndPortGroup() const { return access_and_port_; }
    HttpsGroup* httpsGroup() const { return https_; }
    QPushButton* closeButton() const { return close_; }

  private:
    // As tall as the groups need, but no taller than the screen leaves room for.
    void fitScreen(int groups_height);

    TagSwitchGroup* tags_ = nullptr;
    StartupAndLogsGroup* startup_and_logs_ = nullptr;
    AccessAndPortGroup* access_and_port_ = nullptr;
    HttpsGroup* https_ = nullptr;
    QPushButton* close_ = nullptr;
};

}  // namespace korvanel::ui
