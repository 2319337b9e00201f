// A page of header rules, for the send list or the receive list: add a rule (always
// disabled), enable or disable one (at most 15 enabled per list), delete, sort by a column.
#pragma once

#include <QtWidgets/QWidget>

#include "runtime/list_rows.h"
#include "settings/list_commands.h"
#include "settings/list_sort.h"
#include "ui/widgets/list_columns.h"

class QComboBox;
class QLineEdit;

namespace korvanel {
struct Runtime;
}

namespace korvanel::ui {

class ReportView;
class SkinButton;

using HeaderRuleKind = HeaderList;

inline constexpr int kRuleNameEditMaxCharacters = 63;
inline constexpr int kRuleContentEditMaxCharacters = 154;

class HeaderRulePage : public QWidget {
    Q_OBJECT
  public:
    HeaderRulePage(Runtime& rt, HeaderRuleKind kind, QWidget* parent = nullptr);

    void rebuild();

    QLineEdit* nameEdit() const { return name_; }
    QLineEdit* contentEdit() const { return content_; }
    QComboBox* actionBox() const { return action_; }
    ReportView* view() const { return view_; }
    HeaderRuleListModel* model() const { return model_; }
    SkinButton* registerButton() const { return register_; }
    SkinButton* deleteButton() const { return delete_; }

  public slots:
    void addFromEdits();
    void enableSelected();
    void disableSelected();
    void deleteSelected();
    void toggleSelected();
    void sortByColumn(int column);

  private:
    struct Texts;
    const Texts& texts() const;
    HeaderRuleList& list();

    Runtime& rt_;
    HeaderRuleKind kind_;
    QLineEdit* name_;
    QLineEdit* content_;
    QComboBox* action_;
    ReportView* view_;
    HeaderRuleListModel* model_;
    SkinButton* register_;
    SkinButton* delete_;
    SortFlags sort_flags_;
};

}  // namespace korvanel::ui
