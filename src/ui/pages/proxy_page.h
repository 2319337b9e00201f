// The page of upstream proxies: add, delete, use one (at most one is in use), stop using
// it, sort by a column, and the bulk registration and proxy-check dialogs. The page keeps
// nothing but its view: every change goes through the list commands, and the view follows.
#pragma once

#include <QtWidgets/QWidget>

#include "settings/list_sort.h"
#include "ui/widgets/list_columns.h"

class QLineEdit;

namespace korvanel {
struct Runtime;
}

namespace korvanel::ui {

class ReportView;
class SkinButton;

// The address edit takes at most this many characters.
inline constexpr int kProxyEditMaxCharacters = 215;
// Use waits this long for its command; then the status log says it failed.
inline constexpr int kUseProxyTimeoutMs = 3000;

class ProxyPage : public QWidget {
    Q_OBJECT
  public:
    ProxyPage(Runtime& rt, QWidget* parent = nullptr);

    // The view anew from the list, no row selected.
    void rebuild();

    QLineEdit* addressEdit() const { return edit_; }
    ReportView* view() const { return view_; }
    ProxyListModel* model() const { return model_; }
    SkinButton* registerButton() const { return register_; }
    SkinButton* deleteButton() const { return delete_; }
    SkinButton* bulkButton() const { return bulk_; }
    SkinButton* checkButton() const { return check_; }

  public slots:
    void addFromEdit();
    void deleteSelected();
    void useSelected();
    void stopUsing();
    void toggleSelected();
    void sortByColumn(int column);
    void openBulkRegistration();
    void openProxyCheck();

  private:
    // Clears every row in use, removing its mark; false when a command could not run.
    bool releaseAll();

    Runtime& rt_;
    QLineEdit* edit_;
    ReportView* view_;
    ProxyListModel* model_;
    SkinButton* register_;
    SkinButton* delete_;
    SkinButton* bulk_;
    SkinButton* check_;
    SortFlags sort_flags_;
};

}  // namespace korvanel::ui
