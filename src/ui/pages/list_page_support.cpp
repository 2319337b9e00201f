#include "ui/pages/list_page_support.h"

#include <QtWidgets/QMenu>

#include "runtime/message_dialog.h"
#include "settings/proxy_url.h"
#include "texts.h"
#include "ui/widgets/report_view.h"

namespace korvanel::ui {

void ConnectListMenu(ReportView* view, ListMenuCommands commands) {
    QObject::connect(view, &ReportView::deleteRequested, view, commands.remove);
    QObject::connect(view, &QWidget::customContextMenuRequested, view,
                     [view, commands](const QPoint& at) {
                         QMenu menu(view);
                         QObject::connect(menu.addAction(text::kMenuEnable), &QAction::triggered,
                                          view, commands.enable);
                         menu.addSeparator();
                         QObject::connect(menu.addAction(text::kMenuDisable), &QAction::triggered,
                                          view, commands.disable);
                         menu.addSeparator();
                         QObject::connect(menu.addAction(text::kMenuDelete), &QAction::triggered,
                                          view, commands.remove);
                         menu.addSeparator();
                         menu.exec(view->viewport()->mapToGlobal(at));
                     });
}

void NameEntryField(QWidget* field, const char* column_caption, const char* example) {
    field->setAccessibleName(QString::fromUtf8(column_caption));
    field->setAccessibleDescription(QString::fromUtf8(example));
}

const char* ProxyUrlRefusal(std::string_view row) {
    ProxyUrl url;
    switch (ParseProxyUrl(row, url)) {
        case ProxyUrlParse::kParsed:
            return nullptr;
        case ProxyUrlParse::kBadLogin:
            return text::kProxyLoginRefusal;
        case ProxyUrlParse::kMalformed:
            break;
    }
    return row.find("://") == std::string_view::npos ? text::kProxyFormatRefusal
                                                     : text::kProxyUrlRefusal;
}

void ShowRefusal(Runtime& rt, const char* text) {
    ShowMessageDialog(rt, text::kRefusedTitle, text);
}

}  // namespace korvanel::ui
