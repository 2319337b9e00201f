// What the checker run changes in the proxy-check dialog, as five calls on the GUI thread.
// The window's front end receives the run's calls on the checker's threads and forwards
// them, queued, to the dialog that is open (OpenCheckDialogView), if any.
#pragma once

#include <QtCore/QString>

namespace korvanel::ui {

class CheckDialogView {
  public:
    virtual ~CheckDialogView() = default;
    virtual void setCheckLine(int line, const QString& text) = 0;
    virtual void setCheckProgress(int position, int maximum) = 0;
    virtual void stepCheckProgress() = 0;
    virtual void setCheckButtons(bool ok_enabled, bool close_enabled) = 0;
    virtual void closeCheckDialog(int result) = 0;
};

// The proxy-check dialog now open, or null. GUI thread only.
CheckDialogView* OpenCheckDialogView();

}  // namespace korvanel::ui
