// A header rule list as the view shows it: name, content, the action's text in its colour,
// and the mark on enabled rules.
#pragma once

#include "runtime/list_rows.h"
#include "ui/list_model_base.h"

namespace korvanel::ui {

class HeaderRuleListModel : public ListModelBase<HeaderRule> {
    Q_OBJECT
  public:
    explicit HeaderRuleListModel(QObject* parent = nullptr);

    QVariant data(const QModelIndex& index, int role) const override;
    void setEnabled(int row, bool enabled);
};

// "加える", "消す", "変える" for actions 0, 1, 2; empty for any other.
QString ActionText(int action);

}  // namespace korvanel::ui
