// Small pieces the list pages share: the context menu, text conversions, the refusal
// dialog and the layout of a page.
#pragma once

#include <QtCore/QString>
#include <functional>
#include <string>
#include <string_view>

class QBoxLayout;
class QWidget;

namespace korvanel {
struct Runtime;
}

namespace korvanel::ui {

class ReportView;

inline QString Qs(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
inline std::string Utf8(const QString& text) {
    return text.toStdString();
}

// The right-click menu of a list: "有効化", "無効化", "削除", each followed by a separator;
// the chosen item runs at once. The Delete key runs "削除" as well.
struct ListMenuCommands {
    std::function<void()> enable;
    std::function<void()> disable;
    std::function<void()> remove;
};
void ConnectListMenu(ReportView* view, ListMenuCommands commands);

// A list page's entry field as a screen reader speaks it: the caption of the list column it
// fills as its name, the example shown above it as its description.
void NameEntryField(QWidget* field, const char* column_caption, const char* example);

// The refusal of a typed or pasted proxy row (host:port or a URL, settings/proxy_url.h), or
// nullptr when it can be registered (the list's count aside).
const char* ProxyUrlRefusal(std::string_view row);

// "登録できませんでした" with `text`.
void ShowRefusal(Runtime& rt, const char* text);

}  // namespace korvanel::ui
