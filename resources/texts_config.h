// Texts of the Config dialog and the tag and cookie switches (part of texts.h).
#pragma once

namespace korvanel::text {}  // namespace korvanel::text
