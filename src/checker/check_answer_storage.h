// The buffers one answer is split into; large, so each check allocates them once.
#pragma once

#include "checker/check_answer.h"
#include "engine/message_buffers.h"

namespace korvanel {

struct CheckAnswerStorage {
    StartLine status_line;
    HeaderBlock header_block;
    HeadBody head_body;
};

}  // namespace korvanel
