// The page of User-Agent texts: add, delete, use one (its text then replaces the browser's
// User-Agent), stop using it, sort by a column, and the bulk registration dialog.
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

inline constexpr int kUserAgentEditMaxCharacters = 215;

class UserAgentPage : public QWidget {
    Q_OBJECT
  public:
    UserAgentPage(Runtime& rt, QWidget* parent = nullptr);

    void rebuild();

    QLineEdit* textEdit() const { return edit_; }
    ReportView* view() const { return view_; }
    UserAgentListModel* model() const { return model_; }
    SkinButton* registerButton() const { return register_; }
    SkinButton* deleteButton() const { return delete_; }
    SkinButton* bulkButton() const { return bulk_; }

  public slots:
    void addFromEdit();
    void deleteSelected();
    void useSelected();
    void stopUsing();
    void toggleSelected();
    void sortByColumn(int column);
    void openBulkRegistration();

  private:
    bool releaseAll();

    Runtime& rt_;
    QLineEdit* edit_;
    ReportView* view_;
    UserAgentListModel* model_;
    SkinButton* register_;
    SkinButton* delete_;
    SkinButton* bulk_;
    SortFlags sort_flags_;
};

}  // namespace korvanel::ui
