#include "ui/pages/proxy_page.h"

#include "logging/status_log.h"
#include "settings/list_commands.h"
#include "settings/proxy_url.h"
#include "settings/row_validation.h"
#include "texts.h"
#include "ui/dialogs/proxy_check_dialog.h"
#include "ui/pages/list_page_support.h"
#include "ui/widgets/report_view.h"
#include "ui/widgets/skin_button.h"

namespace korvanel::ui {

namespace {

// A proxy needs more than this many characters (host, ":" and port).
constexpr int kShortestRefused = 3;

const char* ProxyRefusal(Runtime& rt, const QString& typed, const std::string& row) {
    if (typed.size() <= kShortestRefused || !typed.contains(':')) {
        return text::kProxyFormatRefusal;
    }
    int count;
    {
        Hold hold(rt.locks.settings);
        count = rt.settings.proxies.size();
    }
    if (count >= kProxyCapacity) return text::kProxyLimitRefusal;
    return ProxyUrlRefusal(row);
}

// A row as the command log names it: its address, after the scheme when it is not HTTP;
// never its login.
std::string LoggedProxy(std::string_view row) {
    ProxyUrl url;
    if (ParseProxyUrl(row, url) != ProxyUrlParse::kParsed) return {};
    if (url.kind == UpstreamKind::kHttp) return url.address;
    return std::string(UpstreamKindName(url.kind)) + "://" + url.address;
}

const UsableListTable kProxyTable{
    {SortedList::kProxies,
     {0, ReportView::kRestWidth, 100, 100, 70, 70},
     true,
     {0, 82, 164, 246},  // register, delete, bulk, check
     text::kProxyDeleted},
    kProxyEditMaxCharacters,
    text::kColumnAddress,
    text::kProxyExample,
    BulkList::kProxies,
    &ProxyRefusal,
    [](Runtime& rt, std::string_view row) {
        ProxyUrl url;
        if (ParseProxyUrl(row, url) != ProxyUrlParse::kParsed) return -1;
        return AddProxyUrlCommand(rt, url);
    },
    &LoggedProxy,
    &DeleteProxyCommand,
    [](Runtime& rt, int position) {
        return UseProxyCommandWithin(rt, position, kUseProxyTimeoutMs);
    },
    &ReleaseProxyCommand,
    &FindProxyInUseCommand,
    text::kProxySetFailed,
    kProxyStatusPart,
    text::kStatusBarProxy,
    text::kStatusBarNoProxy,
    text::kProxyAdded,
    text::kProxySet,
    text::kProxyReleased,
};

RowList<ProxyEntry>& Proxies(Settings& settings) {
    return settings.proxies;
}
std::string AddressOf(const ProxyEntry& row) {
    return row.address.str();
}

}  // namespace

ProxyPage::ProxyPage(Runtime& rt, QWidget* parent)
    : UsableListPage(rt, kProxyTable,
                     std::make_unique<PageRowsOf<ProxyEntry>>(NewProxyListModel(nullptr), &Proxies,
                                                              &AddressOf),
                     parent) {
    connect(checkButton(), &SkinButton::clicked, this, &ProxyPage::openProxyCheck);
}

ProxyListModel* ProxyPage::model() const {
    return static_cast<ProxyListModel*>(view()->model());
}

void ProxyPage::openProxyCheck() {
    ProxyCheckDialog dialog(rt_, model()->rowCount(), this);
    dialog.exec();
    rebuild();
    PostStatus(rt_, text::kCheckCompleteName, text::kCheckCompleteDetail);
}

}  // namespace korvanel::ui
