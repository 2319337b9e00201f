// The page of upstream proxies: add, delete, use one (at most one is in use), stop using
// it, sort by a column, and the bulk registration and proxy-check dialogs.
#pragma once

#include "ui/pages/usable_list_page.h"
#include "ui/widgets/list_columns.h"

namespace korvanel::ui {

// The address edit takes at most this many characters: an address of 216, or a URL with a
// login of two fields of up to 255 bytes each (escaped, three characters a byte).
inline constexpr int kProxyEditMaxCharacters = 1800;
// Use waits this long for its command; then the status log says it failed.
inline constexpr int kUseProxyTimeoutMs = 3000;

class ProxyPage : public UsableListPage {
    Q_OBJECT
  public:
    ProxyPage(Runtime& rt, QWidget* parent = nullptr);

    QLineEdit* addressEdit() const { return edit(); }
    ProxyListModel* model() const;
    SkinButton* checkButton() const { return button(3); }

  public slots:
    void openProxyCheck();
};

}  // namespace korvanel::ui
