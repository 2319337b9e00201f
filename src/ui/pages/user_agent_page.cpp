#include "ui/pages/user_agent_page.h"

#include "settings/list_commands.h"
#include "settings/row_validation.h"
#include "texts.h"
#include "ui/widgets/report_view.h"

namespace korvanel::ui {

namespace {

const char* UserAgentRefusal(Runtime& rt, const QString&, const std::string& agent) {
    int check;
    {
        Hold hold(rt.locks.settings);
        check = CheckUserAgentRow(rt.settings, agent, "0");
    }
    if (check == kRowListFull) return text::kUserAgentLimitRefusal;
    if (check != kRowValid) return text::kUserAgentFormatRefusal;
    return nullptr;
}

const UsableListTable kUserAgentTable{
    {SortedList::kUserAgents,
     {0, ReportView::kRestWidth, 70},
     true,
     {0, 82, 164},  // register, delete, bulk
     text::kUserAgentDeleted},
    kUserAgentEditMaxCharacters,
    text::kColumnUserAgent,
    text::kUserAgentExample,
    BulkList::kUserAgents,
    &UserAgentRefusal,
    &AddUserAgentCommand,
    nullptr,
    &DeleteUserAgentCommand,
    &UseUserAgentCommand,
    &ReleaseUserAgentCommand,
    &FindUserAgentInUseCommand,
    nullptr,  // using a User-Agent does not wait for the worker
    kUserAgentStatusPart,
    text::kStatusBarUserAgent,
    text::kStatusBarNoUserAgent,
    text::kUserAgentAdded,
    text::kUserAgentSet,
    text::kUserAgentReleased,
};

RowList<UserAgentEntry>& UserAgents(Settings& settings) {
    return settings.user_agents;
}
std::string TextOf(const UserAgentEntry& row) {
    return row.text.str();
}

}  // namespace

UserAgentPage::UserAgentPage(Runtime& rt, QWidget* parent)
    : UsableListPage(rt, kUserAgentTable,
                     std::make_unique<PageRowsOf<UserAgentEntry>>(NewUserAgentListModel(nullptr),
                                                                  &UserAgents, &TextOf),
                     parent) {}

UserAgentListModel* UserAgentPage::model() const {
    return static_cast<UserAgentListModel*>(view()->model());
}

}  // namespace korvanel::ui
