// A page of header rules, for the send list or the receive list: add a rule (always
// disabled), enable or disable one (at most 15 enabled per list), delete, sort by a column.
#pragma once

#include "runtime/list_rows.h"
#include "settings/list_commands.h"
#include "ui/pages/list_page.h"
#include "ui/widgets/list_columns.h"

class QComboBox;
class QLineEdit;

namespace korvanel::ui {

using HeaderRuleKind = HeaderList;

inline constexpr int kRuleNameEditMaxCharacters = 63;
inline constexpr int kRuleContentEditMaxCharacters = 154;

class HeaderRulePage : public ListPage {
    Q_OBJECT
  public:
    HeaderRulePage(Runtime& rt, HeaderRuleKind kind, QWidget* parent = nullptr);

    QLineEdit* nameEdit() const { return name_; }
    QLineEdit* contentEdit() const { return content_; }
    HeaderRuleListModel* model() const;

  public slots:
    void addFromEdits();
    void enableSelected();
    void disableSelected();

  private:
    struct Texts;
    static const Texts& textsOf(HeaderRuleKind kind);
    const Texts& texts() const;
    HeaderRuleList& list();

    void markSelected() override { enableSelected(); }
    void unmarkSelected() override { disableSelected(); }
    int markedState(int position) override;
    int removeRow(int position) override;

    HeaderRuleKind kind_;
    QLineEdit* name_;
    QLineEdit* content_;
    QComboBox* action_;
};

}  // namespace korvanel::ui
