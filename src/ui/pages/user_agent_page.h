// The page of User-Agent texts: add, delete, use one (its text then replaces the browser's
// User-Agent), stop using it, sort by a column, and the bulk registration dialog.
#pragma once

#include "ui/pages/usable_list_page.h"
#include "ui/widgets/list_columns.h"

namespace korvanel::ui {

inline constexpr int kUserAgentEditMaxCharacters = 215;

class UserAgentPage : public UsableListPage {
    Q_OBJECT
  public:
    UserAgentPage(Runtime& rt, QWidget* parent = nullptr);

    QLineEdit* textEdit() const { return edit(); }
    UserAgentListModel* model() const;
};

}  // namespace korvanel::ui
