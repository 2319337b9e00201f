// A list page whose list has at most one row in use (proxies, User-Agents): one entry field,
// "登録", "削除" and the bulk registration button; "有効化" uses the selected row (the row in
// use before is released first), "無効化" stops using it, and the status bar names the row.
#pragma once

#include <string>
#include <string_view>

#include "ui/dialogs/bulk_register_dialog.h"
#include "ui/pages/list_page.h"

class QLineEdit;

namespace korvanel::ui {

// What differs between the lists with a row in use: texts, checks and commands.
struct UsableListTable {
    ListPageTable page;
    int edit_max_characters;
    const char* column_caption;
    const char* example;
    BulkList bulk;
    // The refusal for a typed row, or nullptr when the list takes it; under no lock.
    const char* (*refusal)(Runtime& rt, const QString& typed, const std::string& row);
    int (*add)(Runtime& rt, std::string_view row);
    // How the command log names a typed row that was added (nullptr: as it was typed);
    // a proxy's login never reaches the log.
    std::string (*logged)(std::string_view row);
    int (*remove)(Runtime& rt, int position);
    int (*use)(Runtime& rt, int position);
    int (*release)(Runtime& rt, int position);
    int (*find_in_use)(Runtime& rt, int& position);
    // The status line's detail when `use` timed out; nullptr when it cannot.
    const char* use_timed_out;
    int status_part;
    const char* status_in_use;  // followed by the row
    const char* status_none;
    const char* added;
    const char* used;
    const char* released;
};

class UsableListPage : public ListPage {
    Q_OBJECT
  public:
    QLineEdit* edit() const { return edit_; }
    SkinButton* bulkButton() const { return button(2); }

  public slots:
    void addFromEdit();
    void useSelected();
    void stopUsing();
    void openBulkRegistration();

  protected:
    UsableListPage(Runtime& rt, const UsableListTable& table, std::unique_ptr<PageRows> rows,
                   QWidget* parent);

  private:
    void markSelected() override { useSelected(); }
    void unmarkSelected() override { stopUsing(); }
    int markedState(int position) override;
    int removeRow(int position) override { return usable_.remove(rt_, position); }
    // Clears every row in use, removing its mark; false when a command could not run.
    bool releaseAll();

    const UsableListTable& usable_;
    QLineEdit* edit_;
};

}  // namespace korvanel::ui
