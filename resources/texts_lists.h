// Texts of the list pages, the bulk registration and proxy-check dialogs (part of texts.h).
#pragma once

namespace korvanel::text {}  // namespace korvanel::text
