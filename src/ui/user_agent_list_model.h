// The User-Agent list as the view shows it: the text and the in-use mark.
#pragma once

#include "runtime/list_rows.h"
#include "ui/list_model_base.h"

namespace korvanel::ui {

class UserAgentListModel : public ListModelBase<UserAgentEntry> {
    Q_OBJECT
  public:
    explicit UserAgentListModel(QObject* parent = nullptr);

    QVariant data(const QModelIndex& index, int role) const override;
    void setInUse(int row, bool in_use);
};

}  // namespace korvanel::ui
