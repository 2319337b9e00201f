// Texts of the main window, its menu, buttons and dialogs (part of texts.h).
#pragma once

namespace korvanel::text {}  // namespace korvanel::text
