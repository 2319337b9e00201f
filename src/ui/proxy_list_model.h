// The proxy list as the view shows it: address, the kind as its label in its colour, the
// speed in milliseconds, and the in-use mark.
#pragma once

#include <QtGui/QColor>
#include <string_view>

#include "runtime/list_rows.h"
#include "ui/list_model_base.h"

namespace korvanel::ui {

class ProxyListModel : public ListModelBase<ProxyEntry> {
    Q_OBJECT
  public:
    explicit ProxyListModel(QObject* parent = nullptr);

    QVariant data(const QModelIndex& index, int role) const override;
    void setInUse(int row, bool in_use);
};

// The label and colour a kind code is drawn with.
struct KindLabel {
    QString text;
    QColor colour;
};
KindLabel LabelOfKind(std::string_view kind);
// "%s (ms)" for a measured speed; empty when its leading number is 0 or missing.
QString SpeedText(std::string_view speed);

}  // namespace korvanel::ui
