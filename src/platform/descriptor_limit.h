// The process's limit of open descriptors. The usual soft limit (1,024) is far below what a
// proxy holding many tunnels needs, and far below the hard limit the system allows.
#pragma once

namespace korvanel {

// Raises the soft limit to the hard one (to at most 1,048,576 when the hard one is
// unlimited) and returns the soft limit now in effect; the old one when raising fails.
long RaiseDescriptorLimit();

}  // namespace korvanel
